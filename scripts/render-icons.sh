#!/usr/bin/env bash
# Renders the PNG sizes of the program's icon from its SVG (needs rsvg-convert, from librsvg2-bin).
# Run it after changing the SVG and commit the PNGs with it.
set -euo pipefail
icons=$(cd "$(dirname "$0")/../packaging/icons" && pwd)
for size in 16 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "$icons/com.quillmar.Kaptiv-$size.png" \
    "$icons/com.quillmar.Kaptiv.svg"
done
