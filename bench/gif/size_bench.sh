#!/usr/bin/env bash
# Bytes of animated GIFs from the same frames, side by side in one run:
#   gif-make (whole frames), gif-make --optimize, gifsicle -O3 of gif-make's whole-frame file
#   (lossless, same colour table), and ImageMagick's -layers Optimize of that file;
# then the peak memory of gif-make for the 50-frame 1024 x 768 recording.
#   bench/gif/size_bench.sh [KAPTIV-PROGRAM] [WORK-DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
kaptiv=${1:-$here/../../build/kaptiv}
work=${2:-$(mktemp -d)}
python=${PYTHON:-/usr/bin/python3}
export QT_QPA_PLATFORM=offscreen
mkdir -p "$work"

printf '%-34s %12s %12s %12s %12s\n' "frames" "gif-make" "--optimize" "gifsicle-O3" "IM-layers"
for kind in desktop sprites record; do
  frames=$work/$kind
  [ -d "$frames" ] || "$python" "$here/make_frames.py" "$kind" "$frames"
  count=$(ls "$frames"/*.bmp | wc -l)
  size=$("$python" -c "from PIL import Image; import sys; print('%d x %d' % Image.open(sys.argv[1]).size)" \
         "$(ls "$frames"/*.bmp | head -1)")
  "$kaptiv" gif-make --delay 100 -o "$work/$kind-whole.gif" "$frames"/*.bmp >/dev/null
  "$kaptiv" gif-make --delay 100 --optimize -o "$work/$kind-optimized.gif" "$frames"/*.bmp >/dev/null
  gifsicle -O3 "$work/$kind-whole.gif" -o "$work/$kind-gifsicle.gif"
  convert "$work/$kind-whole.gif" -layers Optimize "$work/$kind-magick.gif"
  printf '%-34s %12d %12d %12d %12d\n' "$kind ($count frames, $size)" \
    "$(stat -c %s "$work/$kind-whole.gif")" "$(stat -c %s "$work/$kind-optimized.gif")" \
    "$(stat -c %s "$work/$kind-gifsicle.gif")" "$(stat -c %s "$work/$kind-magick.gif")"
done

echo
for options in "" "--optimize"; do
  peak=$( { /usr/bin/time -v "$kaptiv" gif-make $options -o "$work/memory.gif" "$work"/record/*.bmp >/dev/null; } 2>&1 |
          sed -n 's/.*Maximum resident set size (kbytes): //p')
  printf 'gif-make %-10s peak memory, 50 frames of 1024 x 768: %d KiB (%.1f MiB)\n' "$options" "$peak" \
    "$(echo "$peak / 1024" | bc -l)"
done
