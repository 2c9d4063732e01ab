#!/usr/bin/env bash
# Runs CMD... inside a headless Wayland session whose screenshot portal answers without a dialog:
# a D-Bus session, sway on one 1280x800 output with a solid #336699 background (no GPU, no input
# devices but a virtual pointer that CMD drives through $KAPTIV_WAYLAND_POINTER, see
# wayland-pointer.py), pipewire and wireplumber (the wlr portal backend exits without them), the
# wlr portal backend, then the portal itself. swaymsg works in CMD ($SWAYSOCK). Exits with CMD's
# status, 77 when the session cannot start.
# Every process it started is stopped again by its PID, whatever the outcome.
#
# sway refuses to run as root, so as root the session runs as nobody, with a home and a mode-700
# runtime folder of its own; CMD then needs to read (not write) what it is given. The wlr backend
# writes every screenshot to /tmp/out.png: run one session's captures at a time.
#   KAPTIV_WAYLAND_SIZE   output size, 1280x800 unless set
#   KAPTIV_WAYLAND_BG     output background, #336699 unless set
#   KAPTIV_WAYLAND_SCALE  output scale, 1 unless set
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: $0 CMD [ARG...]" >&2; exit 2; }
missing=()
for program in sway dbus-daemon pipewire wireplumber /usr/libexec/xdg-desktop-portal-wlr /usr/libexec/xdg-desktop-portal; do
  command -v "$program" >/dev/null || missing+=("$program")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "wayland-session: the Wayland tests cannot run without ${missing[*]} (scripts/install-deps.sh test)" >&2
  exit 77
fi
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

if [ "$(id -u)" -eq 0 ]; then
  home=$(mktemp -d /tmp/kaptiv-wayland.XXXXXX)
  chmod 755 "$home"
  mkdir -m 700 "$home/run" "$home/home"
  chown 65534:65534 "$home/run" "$home/home"
  # A screenshot left by root would stop the backend (running as nobody) from writing the next.
  rm -f /tmp/out.png
  setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH=/usr/local/bin:/usr/bin:/bin \
    HOME="$home/home" XDG_RUNTIME_DIR="$home/run" LANG=C.UTF-8 \
    KAPTIV_WAYLAND_SIZE="${KAPTIV_WAYLAND_SIZE:-}" KAPTIV_WAYLAND_BG="${KAPTIV_WAYLAND_BG:-}" \
    KAPTIV_WAYLAND_SCALE="${KAPTIV_WAYLAND_SCALE:-}" \
    KAPTIV_WAYLAND_KEEP_ENV="$(env | grep -E '^(KAPTIV_[A-Z0-9_]*|QT_[A-Z_]*|GTEST_[A-Z_]*)=' | grep -v '^KAPTIV_WAYLAND_' | tr '\n' '\001')" \
    "$self" "$@"
  rc=$?
  rm -rf "$home"
  exit $rc
fi

# Variables the tests need, carried over the clean environment above.
if [ -n "${KAPTIV_WAYLAND_KEEP_ENV:-}" ]; then
  while IFS= read -r -d $'\001' assignment; do export "${assignment?}"; done <<<"$KAPTIV_WAYLAND_KEEP_ENV"
  unset KAPTIV_WAYLAND_KEEP_ENV
fi

run=${XDG_RUNTIME_DIR:?the session needs its own XDG_RUNTIME_DIR}
logs=$(mktemp -d "$run/logs.XXXXXX")
pids=()
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT
fail() {
  echo "wayland-session: $1 did not start; the Wayland tests cannot run" >&2
  tail -n 20 "$logs/$2.log" >&2 2>/dev/null
  exit 77
}
# Waits (at most 10 s) until a well-known name is on the session bus.
wait_for_name() {
  local _
  for _ in $(seq 200); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true' && return 0
    sleep 0.05
  done
  return 1
}
wait_for_socket() {
  local _
  for _ in $(seq 200); do [ -S "$1" ] && return 0; sleep 0.05; done
  return 1
}

export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
export DBUS_SESSION_BUS_ADDRESS=unix:path=$run/bus
dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile >"$logs/dbus.log" 2>&1 &
pids+=($!)
wait_for_socket "$run/bus" || fail dbus-daemon dbus

# A pointer theme whose every image is one transparent pixel. This compositor has no cursor plane
# and draws the pointer into the screen, so its screenshots would hold it; with this theme they
# hold exactly what the windows and the background show.
mkdir -p "$run/icons/kaptiv-blank/cursors"
python3 -c 'import struct, sys; sys.stdout.buffer.write(b"Xcur" + struct.pack("<3I", 16, 0x10000, 1) + struct.pack("<3I", 0xfffd0002, 24, 28) + struct.pack("<9I", 36, 0xfffd0002, 24, 1, 1, 1, 0, 0, 0) + struct.pack("<I", 0))' \
  >"$run/icons/kaptiv-blank/cursors/left_ptr"
for name in default arrow top_left_arrow crosshair cross tcross hand1 hand2 pointer pointing_hand \
  text xterm ibeam wait watch progress left_ptr_watch half-busy size_all fleur move not-allowed forbidden \
  openhand closedhand grab grabbing all-scroll col-resize row-resize bottom_right_corner \
  bottom_left_corner top_right_corner top_left_corner se-resize sw-resize ne-resize nw-resize \
  size_fdiag size_bdiag size_hor size_ver ew-resize ns-resize sb_h_double_arrow sb_v_double_arrow \
  left_side right_side top_side bottom_side whats_this help question_arrow dnd-none dnd-copy \
  dnd-move dnd-link copy alias; do
  ln -s left_ptr "$run/icons/kaptiv-blank/cursors/$name"
done
export XCURSOR_PATH=$run/icons XCURSOR_THEME=kaptiv-blank XCURSOR_SIZE=24

cat >"$logs/sway.conf" <<EOF
output HEADLESS-1 resolution ${KAPTIV_WAYLAND_SIZE:-1280x800} position 0 0 scale ${KAPTIV_WAYLAND_SCALE:-1} bg ${KAPTIV_WAYLAND_BG:-#336699} solid_color
seat seat0 xcursor_theme kaptiv-blank 24
default_border none
default_floating_border none
focus_follows_mouse no
EOF
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c "$logs/sway.conf" >"$logs/sway.log" 2>&1 &
pids+=($!)
wait_for_socket "$run/wayland-1" || fail sway sway
export WAYLAND_DISPLAY=wayland-1
# swaymsg finds the compositor through this, as it does in the compositor's own children.
for _ in $(seq 200); do
  SWAYSOCK=$(ls "$run"/sway-ipc.*.sock 2>/dev/null | head -n 1)
  [ -n "$SWAYSOCK" ] && break
  sleep 0.05
done
[ -n "$SWAYSOCK" ] || fail "sway's control socket" sway
export SWAYSOCK
dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE XDG_RUNTIME_DIR

# A mouse, before any program starts: the seat has no pointer without one (see wayland-pointer.py).
export KAPTIV_WAYLAND_POINTER=$run/pointer.sock
size=${KAPTIV_WAYLAND_SIZE:-1280x800}
python3 "$(dirname "$self")/wayland-pointer.py" "$KAPTIV_WAYLAND_POINTER" "${size%x*}" "${size#*x}" >"$logs/pointer.log" 2>&1 &
pids+=($!)
wait_for_socket "$KAPTIV_WAYLAND_POINTER" || fail "the virtual pointer" pointer

pipewire >"$logs/pipewire.log" 2>&1 &
pids+=($!)
wait_for_socket "$run/pipewire-0" || fail pipewire pipewire
wireplumber >"$logs/wireplumber.log" 2>&1 &
pids+=($!)
/usr/libexec/xdg-desktop-portal-wlr >"$logs/xdpw.log" 2>&1 &
pids+=($!)
wait_for_name org.freedesktop.impl.portal.desktop.wlr || fail xdg-desktop-portal-wlr xdpw
/usr/libexec/xdg-desktop-portal -v >"$logs/xdp.log" 2>&1 &
pids+=($!)
wait_for_name org.freedesktop.portal.Desktop || fail xdg-desktop-portal xdp

"$@"
