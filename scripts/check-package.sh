#!/usr/bin/env bash
# Checks the Debian package as a user meets it, on a fresh Debian 12 made for the check:
#   check-package.sh PACKAGE.deb NEW-FOLDER
# makes a minimal bookworm in NEW-FOLDER with debootstrap (as root; a few minutes), installs the
# package there with apt and nothing it merely recommends, runs `kaptiv --version` from PATH,
# captures an Xvfb screen with `kaptiv grab screen` and starts the window with a capture, then
# removes the package and looks for anything left behind. NEW-FOLDER stays for a look afterwards.
set -euo pipefail
deb=$(realpath "$1")
root=$2
[ ! -e "$root" ] || { echo "$root exists already: give a new folder"; exit 2; }
command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap >/dev/null

debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >"$root.debootstrap.log" 2>&1 ||
  { tail "$root.debootstrap.log"; exit 1; }
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --bind /dev/pts "$root/dev/pts"
trap 'umount "$root/dev/pts" "$root/proc"' EXIT
cp "$deb" "$root/tmp/"

chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
  HOME=/root DEB="/tmp/$(basename "$deb")" /bin/bash -s <<'CHECK'
set -euo pipefail
step() { echo "== $*"; }
apt-get update -qq
step "install $DEB"
apt-get install -y -qq --no-install-recommends "$DEB" >/tmp/install.log || { tail /tmp/install.log; exit 1; }
dpkg -L kaptiv | sort >/tmp/kaptiv.files
step "from PATH: $(command -v kaptiv)"
kaptiv --version

# Xvfb and xwd are the check's own tools, not the package's.
apt-get install -y -qq --no-install-recommends xvfb x11-apps >/dev/null
step "manual page: $(man -w kaptiv)"
mkfifo /tmp/displayfd
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>/tmp/displayfd 2>/tmp/xvfb.log &
xvfb=$!
read -r -t 30 number </tmp/displayfd
export DISPLAY=:$number
step "kaptiv grab screen --output x.bmp"
cd /tmp
kaptiv grab screen --output x.bmp
step "kaptiv --capture screen"
kaptiv --capture screen >/tmp/window.log 2>&1 &
window=$!
sleep 8
xwd -root -silent >/root/window.xwd
kill $window
wait $window || true
kill $xvfb
wait $xvfb || true

step "remove"
apt-get remove --purge -y -qq kaptiv >/dev/null
left=0
while read -r file; do
  [ -f "$file" ] && { echo "left behind: $file"; left=1; }
done </tmp/kaptiv.files
hash -r
! command -v kaptiv >/dev/null || { echo "kaptiv still on PATH"; left=1; }
[ $left -eq 0 ] && echo "removed cleanly"
CHECK
echo "The window with its capture: $root/root/window.xwd"
