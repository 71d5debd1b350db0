#!/usr/bin/env bash
# Takes PNG screenshots of the main window and of the skinned frame in every
# built-in style and with the sample theme, on a virtual X server without a
# window manager (so that the window region and the frame's own maximising
# are what shows).
#   tools/screenshots/frame-shots.sh [output-directory] [build-directory]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
out="${1:-$root/build/screenshots}"
build="${2:-$root/build}"
cmake --build "$build" --target tabulon-frame-shots -j2 >/dev/null
mkdir -p "$out"
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 LC_ALL=en_US.UTF-8 \
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/tools/screenshots/tabulon-frame-shots" "$out"
ls -1 "$out"/*.png
