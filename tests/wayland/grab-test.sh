#!/usr/bin/env bash
# Inside the session of scripts/wayland-session.sh: `kaptiv grab screen` takes the whole output
# through the desktop's portal (exact size and background) and leaves no picture behind; the grabs
# that need to see other windows refuse with the reason and exit 1.
set -euo pipefail
kaptiv=$1
size=${KAPTIV_WAYLAND_SIZE:-1280x800}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

for format in png bmp; do
  "$kaptiv" grab screen --output "$work/screen.$format" || fail "grab screen to .$format failed"
  got=$(convert "$work/screen.$format" -format '%w %h %[pixel:p{0,0}] %[pixel:p{1279,799}] %k' info:)
  [ "$got" = "${size/x/ } srgb(51,102,153) srgb(51,102,153) 1" ] || fail "grab screen .$format: got '$got'"
  [ ! -e /tmp/out.png ] || fail "the portal's picture file was left behind"
done

for what in active client; do
  set +e
  "$kaptiv" grab "$what" --output "$work/$what.png" 2>"$work/err"
  rc=$?
  set -e
  [ $rc -eq 1 ] || fail "grab $what: exit $rc, want 1"
  grep -q "does not let programs see other windows" "$work/err" || fail "grab $what said: $(cat "$work/err")"
  [ ! -e "$work/$what.png" ] || fail "grab $what wrote a file"
done
echo "grab screen and refusals as expected"
