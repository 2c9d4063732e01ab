#!/usr/bin/env bash
# Installs the build into a scratch folder and checks what lands there as a desktop reads it: the
# menu entry and the software-centre data pass their validators, every icon size has its size, and
# every command of the menu entry is one the installed program accepts.
set -uo pipefail
build=$1 program=$2
# A build folder of only some targets (the sanitizer build) has nothing to install: skipped.
[ -x "$program" ] || { echo "$program is not built here"; exit 77; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

app=com.quillmar.Kaptiv
desktop=$prefix/share/applications/$app.desktop
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Hints (such as two main categories, which we want) are fine; errors and warnings are not.
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
grep -E '(error|warning):' <<<"$report" && fail "the menu entry has warnings"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/$app.metainfo.xml" || fail "appstreamcli validate"

for size in 16 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$app.png
  got=$(identify -format '%wx%h' "$icon" 2>&1)
  [ "$got" = "${size}x${size}" ] || fail "$icon: $got"
done
[ -s "$prefix/share/icons/hicolor/scalable/apps/$app.svg" ] || fail "no scalable icon"
gzip -t "$prefix/share/man/man1/kaptiv.1.gz" || fail "the manual page"

# Without a display the program stops before it starts: a command it understands says so (status
# 1), one it does not gets the usage message (status 2).
while IFS= read -r exec; do
  read -ra words <<<"${exec#Exec=}"
  [ "${words[0]}" = kaptiv ] || { fail "$exec does not start kaptiv"; continue; }
  message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/kaptiv" "${words[@]:1}" 2>&1)
  status=$?
  [ $status -eq 1 ] && grep -q 'no display' <<<"$message" || fail "$exec: status $status: $message"
done < <(grep '^Exec=' "$desktop")

[ $failures -eq 0 ] && echo "installed files pass" || exit 1
