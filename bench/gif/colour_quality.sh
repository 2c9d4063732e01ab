#!/usr/bin/env bash
# Quality and CPU time of full-colour frames reduced to 256 colours, side by side in one run:
#   kaptiv gif-make --colors adaptive (dithered and not), FFmpeg's two-pass palettegen/paletteuse,
#   ImageMagick's -colors 256 (dithered and +dither), and gifski (installed from npm into the
#   work folder: a peer to compare with only, never part of Kaptiv).
# Every output is decoded by Kaptiv's reader (composited, as shown) and compared with the frames
# by FFmpeg's psnr and ssim filters; CPU time is user + system of the whole command.
#   bench/gif/colour_quality.sh [KAPTIV-PROGRAM] [WORK-DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
kaptiv=${1:-$here/../../build/kaptiv}
work=${2:-$(mktemp -d)}
export QT_QPA_PLATFORM=offscreen
mkdir -p "$work"

gifski=$work/npm/node_modules/gifski/bin/debian/gifski
[ -x "$gifski" ] || npm install --silent --no-save --prefix "$work/npm" gifski >/dev/null

# Photo-like frames: a fractal plasma (clouds, skin-like gradients) and the same plasma panned,
# so every frame is full colour and differs from the one before.
make_frames() { # name width height count
  local dir=$work/$1 w=$2 h=$3 n=$4
  [ -d "$dir" ] && return
  mkdir -p "$dir"
  convert -seed 7 -size $((w + 4 * n))x$((h + 2 * n)) plasma:fractal -blur 0x1 "$work/$1-source.png"
  for i in $(seq 1 "$n"); do
    f=$(printf '%03d' "$i")
    convert "$work/$1-source.png" -crop "${w}x${h}+$((4 * i))+$((2 * i))" +repage "$dir/$f.png"
    convert "$dir/$f.png" -type TrueColor "BMP3:$dir/$f.bmp"
  done
}

cpu() { # command... : prints user + system seconds
  /usr/bin/time -f '%U %S' -o "$work/time.txt" "$@" >/dev/null 2>&1
  awk '{printf "%.2f", $1 + $2}' "$work/time.txt"
}

compare_frames() { # gif reference-dir -> "psnr ssim"
  local out=$work/decoded
  rm -rf "$out"
  "$kaptiv" gif-frames --composited --output "$out" "$1" >/dev/null
  local psnr ssim
  psnr=$(ffmpeg -hide_banner -i "$2/%03d.png" -i "$out/frame-%03d.bmp" -lavfi "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr" \
         -f null - 2>&1 | sed -n 's/.*PSNR.*average:\([0-9.inf]*\).*/\1/p')
  ssim=$(ffmpeg -hide_banner -i "$2/%03d.png" -i "$out/frame-%03d.bmp" -lavfi "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]ssim" \
         -f null - 2>&1 | sed -n 's/.*SSIM.*All:\([0-9.]*\).*/\1/p')
  echo "$psnr $ssim"
}

for set in "plasma 640 480 10" "plasma-hd 1280 720 5"; do
  read -r name w h n <<<"$set"
  make_frames "$name" "$w" "$h" "$n"
  dir=$work/$name
  echo "$name: $n frames of $w x $h"
  printf '  %-40s %9s %8s %9s %10s\n' "" "PSNR dB" "SSIM" "CPU s" "bytes"
  run() { # label output command...
    local label=$1 out=$2
    shift 2
    local t
    t=$(cpu "$@")
    read -r p s <<<"$(compare_frames "$out" "$dir")"
    printf '  %-40s %9s %8s %9s %10d\n' "$label" "$p" "$s" "$t" "$(stat -c %s "$out")"
  }
  run "kaptiv --colors adaptive (dither)" "$work/k.gif" "$kaptiv" gif-make --colors adaptive -o "$work/k.gif" "$dir"/*.bmp
  run "kaptiv --colors adaptive --no-dither" "$work/kn.gif" "$kaptiv" gif-make --colors adaptive --no-dither -o "$work/kn.gif" "$dir"/*.bmp
  run "kaptiv --colors adaptive --local-colors" "$work/kl.gif" "$kaptiv" gif-make --colors adaptive --local-colors -o "$work/kl.gif" "$dir"/*.bmp
  run "ffmpeg palettegen+paletteuse" "$work/f.gif" ffmpeg -y -loglevel error -i "$dir/%03d.png" \
    -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" "$work/f.gif"
  run "ImageMagick -colors 256" "$work/m.gif" convert "$dir"/*.png -colors 256 "$work/m.gif"
  run "ImageMagick -colors 256 +dither" "$work/mn.gif" convert "$dir"/*.png +dither -colors 256 "$work/mn.gif"
  run "gifski $("$gifski" --version | cut -d' ' -f2) (quality 90)" "$work/g.gif" "$gifski" -q -W "$w" -o "$work/g.gif" "$dir"/*.png
  echo
done
