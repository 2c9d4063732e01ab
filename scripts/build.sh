#!/usr/bin/env bash
# Configures and builds Kaptiv (Release with debug information).
#   build.sh [cmake options...]      into build/, every target
# KAPTIV_BUILD_DIR and KAPTIV_BUILD_TARGETS choose another folder and only some targets.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${KAPTIV_BUILD_DIR:-$top/build}
launcher=()
# A compiler cache, where one is installed, makes rebuilds in several checkouts cheap.
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
targets=()
[ -n "${KAPTIV_BUILD_TARGETS:-}" ] && read -ra targets <<<"--target $KAPTIV_BUILD_TARGETS"
cmake --build "$dir" -j2 "${targets[@]}"
