#!/usr/bin/env bash
# Renders the toolbar drawings (app/icons/*.svg, the files to edit) to the 27 x 27 PNG images
# the monitor compiles in (app/icons/*.png). Run it after changing a drawing, and commit both.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
BUILD_TARGETS=velk-render-icons "$root/scripts/build.sh" "$root/build"
args=()
for svg in "$root"/app/icons/*.svg; do args+=("$svg" "${svg%.svg}.png"); done
QT_QPA_PLATFORM=offscreen "$root/build/bin/velk-render-icons" 27 "${args[@]}"
