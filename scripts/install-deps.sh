#!/usr/bin/env bash
# Installs the Debian packages Kaptiv needs that are not there yet.
#   install-deps.sh run    what building and running the program needs
#   install-deps.sh test   that, plus what the test suite and the benchmarks need
#   install-deps.sh package   what building and running needs, plus what makes the Debian package
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev
  libx11-dev libx11-xcb-dev libxcb-shm0-dev libxcb-xfixes0-dev libxext-dev libxfixes-dev libxdamage-dev libjpeg62-turbo-dev libpng-dev fonts-dejavu-core qt6-wayland)
test_packages=(googletest libgtest-dev libbenchmark-dev libgif-dev xvfb openbox xdotool xclip
  x11-utils imagemagick libjpeg-turbo-progs git groff-base desktop-file-utils appstream
  gifsicle python3-pil ffmpeg libmagick++-dev
  sway xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk pipewire wireplumber
  dbus-daemon grim python3-dbus python3-gi)
package_packages=(dpkg-dev file)

wanted=("${build_packages[@]}")
case "${1:-run}" in
  test) wanted+=("${test_packages[@]}") ;;
  package) wanted+=("${package_packages[@]}") ;;
esac

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
