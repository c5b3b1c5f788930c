#!/usr/bin/env bash
# Installs what is missing, builds, then runs the monitor against the bundled box simulator
# on 127.0.0.2, both inside a private network namespace (UDP port 192 without root, nothing
# sent on the real network).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "velk-monitor needs a display: DISPLAY is not set (run it from a desktop session)." >&2
  exit 1
fi
"$root/scripts/install-deps.sh"
BUILD_TARGETS="velk-monitor velk-boxsim" "$root/scripts/build.sh" build
exec "$root/scripts/netns.sh" "$root/scripts/demo-inside.sh" "$root/build/bin"
