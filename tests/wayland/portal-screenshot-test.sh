#!/usr/bin/env bash
# Inside the session of scripts/wayland-session.sh: the output has the size and background it was
# given, and the desktop's screenshot portal returns exactly that picture without asking anyone.
set -euo pipefail
size=${KAPTIV_WAYLAND_SIZE:-1280x800}
want="${size/x/ } srgb(51,102,153)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

describe() { magick "$1" -format '%w %h %[pixel:p{0,0}] %k' info: 2>/dev/null || convert "$1" -format '%w %h %[pixel:p{0,0}] %k' info:; }

# What the compositor shows, read past the portal.
grim "$work/grim.png"
got=$(describe "$work/grim.png")
[ "$got" = "$want 1" ] || { echo "compositor output: got '$got', want '$want 1'"; exit 1; }

uri=$("$(dirname "$0")/portal-screenshot.py")
file=${uri#file://}
got=$(describe "$file")
rm -f "$file"
[ "$got" = "$want 1" ] || { echo "portal picture: got '$got', want '$want 1'"; exit 1; }
echo "portal picture $got"
