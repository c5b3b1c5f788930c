#!/usr/bin/env bash
# Inside the private namespace: the box simulator in the background, the monitor in front;
# the simulator ends with the monitor.
set -euo pipefail
bin="$1"
"$bin/velk-boxsim" --address 127.0.0.2 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
"$bin/velk-monitor"
