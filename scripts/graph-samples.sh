#!/usr/bin/env bash
# Writes the graph painter's sample pictures (BMP and JPEG) for a person to look at after a
# change of the painter: graph-samples.sh [FOLDER]   (default build/graph-samples)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/graph-samples}"
BUILD_TARGETS=velk-graph-samples "$root/scripts/build.sh" "$root/build"
QT_QPA_PLATFORM=offscreen "$root/build/bin/velk-graph-samples" "$out"
ls -l "$out"
