#!/usr/bin/env bash
# Installs the Debian 12 packages the monitor, its tests and benchmarks need (only the
# missing ones), through sudo when not root. Arguments name further packages a script needs.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libqt6svg6 libgl-dev libjpeg62-turbo-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool libxcb1-dev fonts-dejavu-core fonts-liberation2
  libssl-dev openssl python3 python3-aiosmtpd iproute2 util-linux prometheus
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
