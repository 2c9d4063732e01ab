# The two commands a fresh Debian 12 machine needs (see README.md), and the Debian package.
.PHONY: run test package

run:
	./scripts/install-deps.sh run
	./scripts/build.sh
	./build/kaptiv

test:
	./scripts/run-tests.sh

package:
	./scripts/package.sh
