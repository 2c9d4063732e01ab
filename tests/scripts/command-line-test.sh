#!/usr/bin/env bash
# The command line driven from a shell script, as a user's script drives it, on the real X display
# in DISPLAY. One case a run:  command-line-test.sh CASE KAPTIV
#   grab-files      JPEG files and PNG on standard output, and the failures of standard output
#   grab-clipboard  the clipboard held in the background, handed over, and let go in time
#   gif-make        BMP, PNG, JPEG and GIF inputs, a GIF's frames as the player shows them
#   play            Esc closes the window; a picture larger than the screen fits 90 % of it
# Every wait has a limit; nothing is waited for by the clock alone.
set -euo pipefail
case_name=$1
kaptiv=$2
work=$(mktemp -d)
started=()
background_changed=
cleanup() {
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  # The display's own black background again, for the tests after this one.
  if [ -n "$background_changed" ]; then
    convert -size 8x8 xc:black "$work/black.png" && display -window root "$work/black.png" || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Runs until the process has ended (gone, or a zombie nobody reaps) or `limit` seconds passed.
wait_gone() { # pid limit
  local deadline=$((SECONDS + $2))
  while [ -e "/proc/$1" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.05
  done
}

# The screen as another program sees it, and how far a picture is from it.
screen_png() { import -window root "$1"; }
differing_pixels() { compare -metric AE "$1" "$2" null: 2>&1 || true; }
psnr() { compare -metric PSNR "$1" "$2" null: 2>&1 || true; }

# A root window of random pixels: its PNG (some megabytes) fills any pipe and goes to the clipboard
# in pieces. A smooth one for JPEG, whose error on noise is no measure of anything.
noisy_screen() {
  convert -size 1920x1080 xc: +noise Random -depth 8 "$work/noise.png"
  background_changed=1
  display -window root "$work/noise.png" || true
}
smooth_screen() {
  convert -size 1920x1080 gradient:'#2060C0'-'#F0D040' -fill '#C02020' -draw 'circle 900,500 900,800' \
    -fill white -draw 'rectangle 100,100 500,300' -depth 8 "$work/smooth.png"
  background_changed=1
  display -window root "$work/smooth.png" || true
}

case $case_name in
grab-files)
  smooth_screen
  screen_png "$work/screen.png"
  "$kaptiv" grab screen --output "$work/default.JPG" >"$work/out" || fail "grab to .JPG"
  grep -qx "$work/default.JPG: 1920 x 1080, JPEG quality 75" "$work/out" || fail "report: $(cat "$work/out")"
  "$kaptiv" grab screen --quality 20 -o "$work/low.jpeg" >/dev/null || fail "grab to .jpeg at quality 20"
  [ "$(identify -format '%m %w %h %Q' "$work/default.JPG")" = "JPEG 1920 1080 75" ] || fail "default.JPG: $(identify "$work/default.JPG")"
  [ "$(identify -format '%Q' "$work/low.jpeg")" = 20 ] || fail "low.jpeg quality $(identify -format '%Q' "$work/low.jpeg")"
  for file in default.JPG low.jpeg; do
    quality=$(psnr "$work/$file" "$work/screen.png")
    awk -v q="$quality" 'BEGIN { exit !(q + 0 > 30) }' || fail "$file is $quality dB from the screen"
  done

  noisy_screen
  screen_png "$work/screen.png"
  "$kaptiv" grab screen --output - >"$work/stdout.png" 2>"$work/err" || fail "--output -: $(cat "$work/err")"
  [ "$(differing_pixels "$work/stdout.png" "$work/screen.png")" = 0 ] || fail "--output - is not the screen"
  grep -qx "standard output: 1920 x 1080, 24 bits per pixel" "$work/err" || fail "report: $(cat "$work/err")"
  # Failures of standard output: a full disk, a reader that stops, none at all.
  for target in full pipe closed; do
    set +e
    case $target in
      full) timeout 30 "$kaptiv" grab screen --output - >/dev/full 2>"$work/err" ;;
      pipe) timeout 30 "$kaptiv" grab screen --output - 2>"$work/err" | head -c 10 >/dev/null; (exit "${PIPESTATUS[0]}") ;;
      closed) timeout 30 "$kaptiv" grab screen --output - 2>"$work/err" >&- ;;
    esac
    status=$?
    set -e
    [ $status -eq 1 ] || fail "--output - to a $target output: exit $status, $(cat "$work/err")"
    grep -q "^kaptiv: Cannot write the picture to standard output. " "$work/err" || fail "$target: $(cat "$work/err")"
  done
  # A file named while standard output is closed gets the picture, and the closed output nothing.
  timeout 30 "$kaptiv" grab screen --output "$work/closed.bmp" >&- || fail "grab with standard output closed"
  [ "$(differing_pixels "$work/closed.bmp" "$work/screen.png")" = 0 ] || fail "closed.bmp is not the screen"
  set +e
  "$kaptiv" grab screen --output "$work/x.png" --quality 50 2>"$work/err"
  status=$?
  set -e
  [ $status -eq 2 ] && grep -q "quality applies to a JPEG output" "$work/err" || fail "--quality with PNG: $status $(cat "$work/err")"
  [ ! -e "$work/x.png" ] || fail "a refused grab wrote a file"
  ;;

grab-clipboard)
  noisy_screen
  screen_png "$work/screen.png"
  # Returns at once, the picture held by a process of its own.
  begin=$(date +%s%N)
  "$kaptiv" grab screen --clipboard >"$work/out" || fail "grab --clipboard"
  took=$((($(date +%s%N) - begin) / 1000000))
  [ $took -lt 1000 ] || fail "grab --clipboard took $took ms"
  holder=$(sed -n 's/.*held by process \([0-9]*\) .*/\1/p' "$work/out")
  [ -n "$holder" ] || fail "report: $(cat "$work/out")"
  started+=("$holder")
  grep -qx "clipboard: 1920 x 1080 as PNG, held by process $holder until another program takes the clipboard (at most 10 minutes)" \
    "$work/out" || fail "report: $(cat "$work/out")"
  timeout 30 xclip -o -selection clipboard -t TARGETS >"$work/targets" || fail "no answer for TARGETS"
  grep -qx image/png "$work/targets" || fail "targets: $(cat "$work/targets")"
  timeout 30 xclip -o -selection clipboard -t image/png >"$work/pasted.png" || fail "no answer for image/png"
  [ "$(differing_pixels "$work/pasted.png" "$work/screen.png")" = 0 ] || fail "the clipboard's picture is not the screen"
  # Asked again, the same.
  timeout 30 xclip -o -selection clipboard -t image/png | cmp -s - "$work/pasted.png" || fail "a second paste differs"

  # With a file as well; another grab takes the clipboard over and the first holder ends.
  smooth_screen
  KAPTIV_CLIPBOARD_HOLD_MS=3000 "$kaptiv" grab screen --clipboard --output "$work/also.png" >"$work/out" || fail "grab --clipboard --output"
  second=$(sed -n 's/.*held by process \([0-9]*\) .*/\1/p' "$work/out")
  started+=("$second")
  grep -q "at most 3 seconds" "$work/out" || fail "report: $(cat "$work/out")"
  wait_gone "$holder" 10 || fail "the first holder stayed after the clipboard was taken over"
  timeout 30 xclip -o -selection clipboard -t image/png >"$work/second.png"
  [ "$(differing_pixels "$work/second.png" "$work/also.png")" = 0 ] || fail "the second picture is not the file's"
  # Its time up, it lets go: nothing is left running and the clipboard is empty.
  wait_gone "$second" 20 || fail "the holder stayed after its time"
  ! timeout 10 xclip -o -selection clipboard -t TARGETS >/dev/null 2>&1 || fail "the clipboard is still held"
  ;;

*)
  fail "no case '$case_name'"
  ;;
esac
echo "$case_name: passed"
