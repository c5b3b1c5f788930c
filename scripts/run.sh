#!/usr/bin/env bash
# The demo: installs what is missing, builds, then runs the monitor against the bundled box
# simulator on 127.0.0.2 and a mail sink on 127.0.0.1:25 that prints every alarm mail, all
# inside a private network namespace (ports 192 and 25 without root, nothing sent on the real
# network). The demo's settings live in build/demo-config, apart from the operator's own.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "velk-monitor needs a display: DISPLAY is not set (run it from a desktop session)." >&2
  exit 1
fi
"$root/scripts/install-deps.sh"
BUILD_TARGETS="velk-monitor velk-boxsim" "$root/scripts/build.sh" build
exec "$root/scripts/netns.sh" "$root/scripts/demo-inside.sh" "$root/build/bin" "$root/build/demo-config"
