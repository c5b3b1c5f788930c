#!/usr/bin/env bash
# Runs a command in a private network namespace with only a loopback interface, where the
# link may bind UDP port 192 without privileges and no datagram reaches the real network.
set -euo pipefail
if [ "${VELK_IN_NETNS:-}" = 1 ]; then
  ip link set lo up
  exec "$@"
fi
export VELK_IN_NETNS=1
if [ "$(id -u)" -eq 0 ]; then
  exec unshare -n "$0" "$@"
else
  exec unshare -rn "$0" "$@"
fi
