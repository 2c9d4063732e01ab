#!/usr/bin/env bash
# Records a scripted scene (a terminal scrolling text, a window moving across a 1920 x 1080
# desktop) for 10 s at 30 fps with kaptiv record, byzanz-record and FFmpeg (x11grab straight to
# GIF, and two passes through palettegen/paletteuse), one after another on one Xvfb, and prints
# for each: frames, dropped frames, CPU seconds of the recorder and of the X server (from /proc),
# CPU per frame, file size and peak memory. Two scenes, each recorded by all: the terminal
# scrolling a line at every frame of 30 fps (30 lines a second), and a line every half second
# (2 lines a second, a build's output going by).
#   run-record-bench.sh BUILD_DIR [DISPLAY_NUMBER]
set -euo pipefail
build=${1:?build folder}
number=${2:-389}
export DISPLAY=:$number
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$work"' EXIT
Xvfb "$DISPLAY" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

ticks=$(getconf CLK_TCK)
cpu_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }
frames_of() { gifsicle --info "$1" 2>/dev/null | grep -c '+ image #' || true; }

# run LINES NAME FILE COMMAND...: the scene, scrolling LINES lines a second, plays while COMMAND
# records; /usr/bin/time gives the recorder's CPU and peak memory, /proc the X server's CPU over
# the same time.
run() {
  local lines=$1 name=$2 file=$3; shift 3
  rm -f "$file"
  "$build/bench/record/record_scene" 12 "$lines" &
  local scene=$!
  sleep 0.5 # the scene's windows are up before recording begins
  local before; before=$(cpu_of "$xvfb")
  /usr/bin/time -f '%U %S %M' -o "$work/time" "$@" >"$work/out" 2>&1 || true
  local after; after=$(cpu_of "$xvfb")
  wait "$scene"
  read -r user sys rss <"$work/time"
  local frames; frames=$(frames_of "$file")
  local server; server=$(echo "scale=2; ($after - $before) / $ticks" | bc)
  local own; own=$(echo "scale=2; $user + $sys" | bc)
  local per; per=$(echo "scale=2; 1000 * ($own + $server) / ($frames + (${frames:-0} == 0))" | bc)
  local dropped=-
  [ "$name" = kaptiv ] && dropped=$(grep -o '[0-9]* dropped' "$work/out" | cut -d' ' -f1)
  printf '%-8s %-18s %7s %8s %10s %9s %12s %11s %9s\n' "$lines/s" "$name" "$frames" "$dropped" "$own" "$server" \
    "$per" "$(stat -c %s "$file" 2>/dev/null || echo -)" "$((rss / 1024))"
}

printf '%-8s %-18s %7s %8s %10s %9s %12s %11s %9s\n' lines recorder frames dropped "cpu s" "X cpu s" "ms/frame" bytes \
  "peak MiB"
# Two passes: a lossless capture, then a palette chosen from it and used to write the GIF.
cat >"$work/two-pass.sh" <<SCRIPT
ffmpeg -loglevel error -y -f x11grab -framerate 30 -video_size 1920x1080 -i $DISPLAY -t 10 -c:v ffv1 "$work/capture.mkv"
ffmpeg -loglevel error -y -i "$work/capture.mkv" -vf palettegen "$work/palette.png"
ffmpeg -loglevel error -y -i "$work/capture.mkv" -i "$work/palette.png" -lavfi paletteuse "$work/ffmpeg2.gif"
SCRIPT
for lines in 30 2; do
  run "$lines" kaptiv "$work/kaptiv.gif" "$build/kaptiv" record screen --fps 30 --duration 10000 --output "$work/kaptiv.gif"
  run "$lines" byzanz-record "$work/byzanz.gif" byzanz-record -d 10 --delay=0 -x 0 -y 0 -w 1920 -h 1080 "$work/byzanz.gif"
  run "$lines" "ffmpeg one pass" "$work/ffmpeg.gif" ffmpeg -loglevel error -y -f x11grab -framerate 30 \
    -video_size 1920x1080 -i "$DISPLAY" -t 10 "$work/ffmpeg.gif"
  run "$lines" "ffmpeg two passes" "$work/ffmpeg2.gif" sh "$work/two-pass.sh"
done
