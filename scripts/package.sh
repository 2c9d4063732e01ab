#!/usr/bin/env bash
# Builds the Debian package of Kaptiv in build-package/ (the program alone: no tests, no
# benchmarks) and prints the package's path. Install it with: sudo apt install ./kaptiv_*.deb
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" package
KAPTIV_BUILD_DIR=$top/build-package "$top/scripts/build.sh" -DKAPTIV_BUILD_TESTS=OFF -DKAPTIV_BUILD_BENCH=OFF
cd "$top/build-package"
rm -f kaptiv_*.deb
cpack -G DEB >/dev/null
ls "$PWD"/kaptiv_*.deb
