#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite on displays of its own:
#   DISPLAY                  Xvfb 1920x1080 at 24 bits with openbox (Alt+F4 closes, no other keys)
#   KAPTIV_DISPLAY_NOWM      Xvfb 1280x1024 at 24 bits without a window manager
#   KAPTIV_DISPLAY_DEPTH16   Xvfb 1280x1024 at 16 bits without a window manager
#   KAPTIV_DISPLAY_DEPTH15   Xvfb 1280x1024 at 15 bits without a window manager
#   KAPTIV_DISPLAY_DEPTH30   Xvfb 1280x1024 at 30 bits without a window manager
#   KAPTIV_DISPLAY_DEPTH8    Xvfb 1280x1024 at 8 bits (a palette) without a window manager
# The tests labelled wayland each start a headless Wayland session of their own (scripts/wayland-session.sh).
# Everything it starts is stopped again, whatever the outcome.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

"$top/scripts/install-deps.sh" test
"$top/scripts/build.sh"
# The readers, the codec core and the player cycles once more, with AddressSanitizer and
# UndefinedBehaviorSanitizer: the hostile files and fuzzer seeds they replay then fail on any
# out-of-bounds access, not only on a crash, and a player that leaks or leaves a thread fails.
KAPTIV_BUILD_DIR=$top/build-sanitize KAPTIV_BUILD_TARGETS="gif_core_test gif_giflib_test platform_tests formats_tests gif_player_cycles_test" \
  "$top/scripts/build.sh" -DKAPTIV_SANITIZE=ON -DKAPTIV_BUILD_BENCH=OFF

scratch=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# Qt and openbox must not write into the real home.
export HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/run XDG_CONFIG_HOME=$scratch/config
export XDG_CACHE_HOME=$scratch/cache DBUS_SESSION_BUS_ADDRESS=disabled:
# The X tests must see the X displays below even when run from a Wayland desktop.
unset WAYLAND_DISPLAY XDG_SESSION_TYPE
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

start_xvfb() { # name geometry -> sets the variable called <name> to ":N"
  local fifo=$scratch/$1.displayfd
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$2" -noreset -nolisten tcp 3>"$fifo" 2>"$scratch/$1.log" &
  pids+=($!)
  local number
  read -r -t 20 number <"$fifo" || { echo "Xvfb ($1) did not start"; cat "$scratch/$1.log"; exit 1; }
  printf -v "$1" ':%s' "$number"
  export "${1?}"
}

start_xvfb DISPLAY 1920x1080x24
start_xvfb KAPTIV_DISPLAY_NOWM 1280x1024x24
start_xvfb KAPTIV_DISPLAY_DEPTH16 1280x1024x16
start_xvfb KAPTIV_DISPLAY_DEPTH15 1280x1024x15
start_xvfb KAPTIV_DISPLAY_DEPTH30 1280x1024x30
start_xvfb KAPTIV_DISPLAY_DEPTH8 1280x1024x8

openbox --sm-disable --config-file "$top/scripts/openbox-rc.xml" >"$scratch/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

sanitized=0
ctest --test-dir "$top/build-sanitize" --output-on-failure -j2 -L unit -E _NOT_BUILT "$@" || sanitized=$?
cd "$top/build"
ctest --output-on-failure -j2 "$@"
exit "$sanitized"
