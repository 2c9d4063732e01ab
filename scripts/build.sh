#!/usr/bin/env bash
# Configures and builds Kaptiv into build/ (Release with debug information).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
launcher=()
# A compiler cache, where one is installed, makes rebuilds in several checkouts cheap.
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$top/build" -j2
