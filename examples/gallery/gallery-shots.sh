#!/usr/bin/env bash
# Screenshots of the skin gallery on a virtual X server without a window
# manager, taken with ImageMagick's import. For every built-in style and for
# the sample theme: the window with the Menu drop-down open, with the File
# and Style drop-downs open, and with the popup menu open.
#   examples/gallery/gallery-shots.sh [output-directory] [build-directory]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

# Runs on the virtual display: one gallery per shot, cropped to its window
# and the drop-downs that hang below it.
shoot() {
    local name="$1"; shift
    local ready; ready="$(mktemp)"; rm -f "$ready"
    "$gallery" --ready "$ready" "$@" &
    local pid=$!
    for _ in $(seq 1 100); do
        [ -s "$ready" ] && break
        sleep 0.1
    done
    if [ ! -s "$ready" ]; then
        echo "FAILED $name: the gallery did not come up" >&2
        kill "$pid" 2>/dev/null || true
        return 1
    fi
    local w h x y
    IFS='x+' read -r w h x y < "$ready"
    import -window root -crop "$((w + 16))x$((h + 16))+$((x - 8))+$((y - 8))" +repage "$out/$name.png"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -f "$ready"
    echo "wrote $out/$name.png"
}

if [ "${1:-}" = "--on-display" ]; then
    out="$2" gallery="$3"
    failed=0
    for look in MacOS WinXP DeepBlue Protein BlueGlass Graphite; do
        if [ "$look" = Graphite ]; then chosen=(--theme Graphite.theme); else chosen=(--skin "$look"); fi
        shoot "gallery-$look" "${chosen[@]}" --open-menu 2 || failed=1
        shoot "gallery-file-$look" "${chosen[@]}" --open-menu 0 || failed=1
        shoot "gallery-style-$look" "${chosen[@]}" --open-menu 1 || failed=1
        shoot "gallery-popup-$look" "${chosen[@]}" --popup || failed=1
    done
    exit "$failed"
fi

out="${1:-$root/build/screenshots/gallery}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
build="$(cd "${2:-$root/build}" && pwd)"
cmake --build "$build" --target tabulon-gallery -j2 >/dev/null
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 LC_ALL=C.UTF-8 \
  xvfb-run -a -s "-screen 0 1024x768x24" "$here/gallery-shots.sh" --on-display "$out" \
  "$build/examples/gallery/tabulon-gallery"
