#!/usr/bin/env bash
# Makes the Debian package of the build tree BUILD in a temporary folder, unpacks it with
# dpkg -x into a temporary root and checks: the program and icon the desktop entry names are
# where it says, the programs start from there, and the post-install script gives the two
# programs the port capability, also going on where setcap is missing or fails.
#   PackageTest.sh BUILD
set -euo pipefail
build="$1"
for tool in cpack dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$build" && cpack -G DEB --config CPackConfig.cmake -B "$tmp/out" >/dev/null)
debs=("$tmp"/out/*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no .deb"
root="$tmp/root"
dpkg-deb -x "${debs[0]}" "$root"
dpkg-deb -e "${debs[0]}" "$tmp/control"

desktop="$root/usr/share/applications/velk-monitor.desktop"
[ -f "$desktop" ] || fail "no desktop entry in /usr/share/applications"
program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
icon="$(sed -n 's/^Icon=//p' "$desktop")"
[ -x "$root/usr/bin/$program" ] || fail "Exec=$program is not in /usr/bin"
[ -s "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
  fail "Icon=$icon is not in /usr/share/icons/hicolor/scalable/apps"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop entry not valid"
fi
[ -s "$root/usr/share/doc/velk-monitor/README.md" ] || fail "no README"
examples="$root/usr/share/doc/velk-monitor/examples/prometheus"
[ -s "$examples/velk-monitor.rules.yml" ] && [ -s "$examples/prometheus.yml" ] ||
  fail "no Prometheus rules and scrape configuration"
for tool in velk-probe velk-boxsim; do
  "$root/usr/bin/$tool" --help >/dev/null || fail "$tool does not start from the package"
done

# The post-install script with a setcap that works, one that fails, and none at all: each
# time it ends well, and a working setcap is asked for exactly the two programs.
mkdir -p "$tmp/works" "$tmp/fails"
printf '#!/bin/sh\necho "$*" >> "%s"\n' "$tmp/asked" > "$tmp/works/setcap"
printf '#!/bin/sh\nexit 1\n' > "$tmp/fails/setcap"
chmod +x "$tmp/works/setcap" "$tmp/fails/setcap"
for bin in "$tmp/works" "$tmp/fails" "$tmp/none"; do
  PATH="$bin:/usr/bin:/bin" sh "$tmp/control/postinst" configure 2>/dev/null ||
    fail "postinst failed with setcap from $bin"
done
expected="cap_net_bind_service=+ep /usr/bin/velk-monitor
cap_net_bind_service=+ep /usr/bin/velk-probe"
[ "$(cat "$tmp/asked")" = "$expected" ] || fail "postinst asked setcap for: $(cat "$tmp/asked")"
echo "package checked: $(basename "${debs[0]}")"
