#!/bin/sh
# Whole-process screen grab to a .bmp file: kaptiv against scrot and ImageMagick's import, run in
# turns on one 1920 x 1080 Xvfb so the machine's load falls on all of them alike. Prints each
# program's median wall time and peak memory, and kaptiv's time as a share of scrot's.
#   bench/process/grab-process.sh [path/to/kaptiv] [runs]
set -eu
kaptiv=$(realpath "${1:-build/kaptiv}")
runs=${2:-21}

missing=""
for tool in scrot:scrot import:imagemagick Xvfb:xvfb; do
    command -v "${tool%%:*}" >/dev/null || missing="$missing ${tool#*:}"
done
if [ -n "$missing" ]; then
    apt-get install -y -q $missing >/dev/null
fi

work=$(mktemp -d)
# -noreset, as on a desktop, where the window manager and the panel stay connected: an X server
# left with no client resets itself, and the next program to connect waits about 20 ms for that,
# which would time the server rather than the program.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -noreset -nolisten tcp 3>"$work/display" 2>/dev/null &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
while [ ! -s "$work/display" ]; do sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"

# One timed run: "<milliseconds> <peak kB>".
measure() {
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000000 )) $(cat "$work/peak")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for i in $(seq "$runs"); do
    measure "$kaptiv" grab screen --output "$work/k.bmp" >>"$work/kaptiv"
    measure scrot -o "$work/s.bmp" >>"$work/scrot"
    measure import -window root "$work/i.bmp" >>"$work/import"
done

for name in kaptiv scrot import; do
    printf '%-7s %4s ms  peak %6s kB\n' "$name" "$(cut -d' ' -f1 "$work/$name" | median)" \
        "$(cut -d' ' -f2 "$work/$name" | median)"
done
awk -v k="$(cut -d' ' -f1 "$work/kaptiv" | median)" -v s="$(cut -d' ' -f1 "$work/scrot" | median)" \
    'BEGIN { printf "kaptiv takes %.2f of scrot'"'"'s time (aim: at most 0.50)\n", k / s }'
