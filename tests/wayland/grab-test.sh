#!/usr/bin/env bash
# Inside the session of scripts/wayland-session.sh: `kaptiv grab screen` takes the whole output
# through the desktop's portal (exact size and background) and leaves no picture behind, after its
# --delay; what needs to see other windows or the pointer (grab active/client, --cursor, record)
# is refused with the reason and exit 1.
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

refusals=(
  "grab active --delay 60000 --output $work/refused.png|kaptiv: This desktop does not let programs see other windows, so Kaptiv cannot capture the active window. 'kaptiv grab screen' captures the whole screen."
  "grab client --delay 60000 --output $work/refused.png|kaptiv: This desktop does not let programs see other windows, so Kaptiv cannot capture the client area of the active window. 'kaptiv grab screen' captures the whole screen."
  "grab screen --cursor --delay 60000 --output $work/refused.png|kaptiv: This desktop does not let programs see other windows or the mouse pointer, so Kaptiv cannot draw the pointer into a capture. Leave out --cursor to capture the screen without it."
  "record screen --duration 60000 --output $work/refused.gif|kaptiv: This desktop does not let programs see other windows, so Kaptiv cannot record an area of the screen."
)
for refusal in "${refusals[@]}"; do
  read -r -a arguments <<<"${refusal%%|*}"
  set +e
  # The refusal comes before the delay: a minute's wait would run into the test's time limit.
  "$kaptiv" "${arguments[@]}" 2>"$work/err"
  rc=$?
  set -e
  [ $rc -eq 1 ] || fail "${arguments[*]}: exit $rc, want 1"
  [ "$(cat "$work/err")" = "${refusal#*|}" ] || fail "${arguments[*]} said: $(cat "$work/err")"
  [ ! -e "$work/refused.png" ] && [ ! -e "$work/refused.gif" ] || fail "${arguments[*]} wrote a file"
done

# --delay: the picture is taken when it ends. A window of ours that opens during the delay is in it.
convert -size 200x120 xc:'#c04020' "$work/probe.gif"
colours() { grim - | convert - -format %k info:; }
started=$(date +%s%N)
"$kaptiv" grab screen --delay 2500 --output "$work/delayed.png" &
grabber=$!
QT_QPA_PLATFORM=wayland "$kaptiv" play "$work/probe.gif" 2>/dev/null &
player=$!
for _ in $(seq 400); do [ "$(colours)" != 1 ] && break; sleep 0.05; done # at most 20 s
kill -0 $grabber 2>/dev/null && grabbing=1 || grabbing=0
wait $grabber || fail "grab screen --delay failed"
elapsed=$((($(date +%s%N) - started) / 1000000))
kill $player
wait $player 2>/dev/null || true
[ $elapsed -ge 2500 ] || fail "grab screen --delay 2500 took $elapsed ms"
# Unless this machine took the whole delay to show the player, the picture has it.
if [ $grabbing -eq 1 ]; then
  convert "$work/delayed.png" -format %c histogram:info:- | grep -qi '#C04020' ||
    fail "grab screen --delay: the window opened during the delay is not in the picture"
fi
echo "grab screen, --delay ($elapsed ms, window shown during it: $grabbing) and refusals as expected"
