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

gif-make)
  cd "$work"
  # Three frames on a 60 x 40 canvas, each left in place: red, a blue square over it, a green one
  # beside; 100, 300 and 500 ms.
  convert -dispose none -delay 10 -size 60x40 xc:red -delay 30 -page +10+10 -size 20x20 xc:blue \
    -delay 50 -page +30+10 -size 20x20 xc:lime three.gif
  convert -size 60x40 xc:yellow yellow.png
  convert -size 60x40 xc:magenta magenta.png
  "$kaptiv" gif-make --output five.gif three.gif yellow.png magenta.png >out || fail "gif-make: $(cat out)"
  grep -qx "five.gif: 5 frames, one shared colour table" out || fail "report: $(cat out)"
  # Each frame whole, as the player showed it: the squares stay on the red they were drawn over.
  seen=$(convert five.gif -format '%w %h %T %[pixel:p{5,5}] %[pixel:p{15,15}] %[pixel:p{35,15}]\n' info:)
  expected="60 40 10 srgb(255,0,0) srgb(255,0,0) srgb(255,0,0)
60 40 30 srgb(255,0,0) srgb(0,0,255) srgb(255,0,0)
60 40 50 srgb(255,0,0) srgb(0,0,255) srgb(0,255,0)
60 40 0 srgb(255,255,0) srgb(255,255,0) srgb(255,255,0)
60 40 0 srgb(255,0,255) srgb(255,0,255) srgb(255,0,255)"
  [ "$seen" = "$expected" ] || fail "five.gif frames:
$seen"
  # --delay for every frame; a JPEG and a bitmap named without its extension are read too.
  convert -size 60x40 xc:cyan -quality 95 cyan.jpg
  convert -size 60x40 xc:navy BMP3:navy-picture
  "$kaptiv" gif-make --output delayed.gif --delay 70 cyan.jpg three.gif navy-picture >/dev/null || fail "gif-make --delay"
  [ "$(convert delayed.gif -format '%T ' info:)" = "7 7 7 7 7 " ] || fail "delays: $(convert delayed.gif -format '%T ' info:)"
  [ "$(convert 'delayed.gif[4]' -format '%[pixel:p{0,0}]' info:)" = "srgb(0,0,128)" ] || fail "the bitmap's frame"
  # The frame limit counts a GIF's frames; a file that cannot be used is named.
  { # 255 frames of one black pixel
    printf 'GIF89a\1\0\1\0\200\0\0\0\0\0\377\377\377'
    for _ in $(seq 255); do printf ',\0\0\0\0\1\0\1\0\0\2\2D\1\0'; done
    printf ';'
  } >many.gif
  set +e
  "$kaptiv" gif-make --output refused.gif many.gif yellow.png magenta.png 2>err
  status=$?
  set -e
  [ $status -eq 2 ] && grep -q "at most 256 frames, .* not 257" err || fail "257 frames: $status $(cat err)"
  "$kaptiv" gif-make --output limit.gif many.gif yellow.png >/dev/null || fail "256 frames refused"
  printf 'GIF89a\0\0\0\0\0\0\0;' >empty.gif
  echo 'not a picture' >notes.png
  for input in empty.gif notes.png missing.png; do
    set +e
    "$kaptiv" gif-make --output refused.gif yellow.png "$input" 2>err
    status=$?
    set -e
    [ $status -eq 1 ] && grep -q "$input" err || fail "$input: exit $status, $(cat err)"
  done
  [ ! -e refused.gif ] || fail "a refused gif-make wrote its file"
  ;;

play)
  cd "$work"
  # Larger than the 1920 x 1080 screen: shown whole at 90 % of its height, 4:3 kept.
  convert -size 4000x3000 gradient:orange-navy -fill white -draw 'circle 2000,1500 2000,2500' -colors 64 large.gif
  convert -size 1000x800 xc:teal small.gif
  for picture in large:1296x972 small:1000x800; do
    name=${picture%%:*}
    "$kaptiv" play "$name.gif" 2>err &
    player=$!
    started+=("$player")
    window=$(timeout 30 xdotool search --sync --onlyvisible --name "^$name.gif - Kaptiv\$" | head -1)
    [ -n "$window" ] || fail "no window for $name.gif: $(cat err)"
    geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/ *Geometry: //p')
    [ "$geometry" = "${picture#*:}" ] || fail "$name.gif opened at $geometry"
    if [ $name = large ]; then
      # The whole picture in it: white in the middle, the gradient's ends at the top and the bottom.
      import -window "$window" shown.png
      [ "$(convert shown.png -format '%[pixel:p{648,486}]' info:)" = "srgb(255,255,255)" ] || fail "the middle is not white"
      top=$(convert shown.png -format '%[fx:int(255*p{648,2}.r)] %[fx:int(255*p{648,969}.b)]' info:)
      set -- $top
      [ "$1" -gt 200 ] && [ "$2" -gt 80 ] || fail "the picture's ends are not in the window: $top"
    fi
    xdotool windowactivate --sync "$window"
    xdotool key Escape
    wait_gone "$player" 20 || fail "Esc did not close $name.gif"
    wait "$player" || fail "play $name.gif ended with $?"
  done
  ;;

*)
  fail "no case '$case_name'"
  ;;
esac
echo "$case_name: passed"
