#!/usr/bin/env bash
# Builds the Debian package of the monitor with CPack and checks it with lintian (when
# installed): a Release build of velk-monitor, velk-probe and velk-boxsim in BUILD_DIR
# (default build/), then BUILD_DIR/package/velk-monitor_<version>_<arch>.deb.
#   scripts/package.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
BUILD_TARGETS="velk-monitor velk-probe velk-boxsim velk_packaging_files" "$root/scripts/build.sh" "$dir"
(cd "$dir" && cpack -G DEB --config CPackConfig.cmake -B "$dir/package" >/dev/null)
deb="$(ls -t "$dir"/package/*.deb | head -n 1)"
echo "package: $deb"
if command -v lintian >/dev/null; then
  # Errors make lintian exit non-zero, and so this script.
  lintian --info "$deb"
  echo "lintian: no error"
else
  echo "lintian not installed: package not checked"
fi
