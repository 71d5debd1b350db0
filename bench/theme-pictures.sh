#!/usr/bin/env bash
# Paint costs with a theme file that holds a large picture: time of the first
# paint (which decodes), of each later one, and the peak memory.
#   bench/theme-pictures.sh [build dir] [width] [height] [paints]
# Targets: later paints do not decode again (well under the first paint's
# time); peak memory about one decoded picture plus its frames, not one
# decoded picture per paint.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target tabulon-skinbench -j2 >/dev/null
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 "$build/tools/skinbench/tabulon-skinbench" "${2:-8000}" "${3:-2000}" "${4:-50}"
