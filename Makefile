# The two commands a fresh Debian 12 machine needs (see README.md).
.PHONY: run test

run:
	./scripts/install-deps.sh run
	./scripts/build.sh
	./build/kaptiv

test:
	./scripts/run-tests.sh
