#!/usr/bin/env bash
# Draws the pictures that the main window's form description stores with its
# title-bar buttons and sections (resources/forms/pictures/) with the skin-art
# generator, from the same MacOS art as the built-in bitmaps, so that the
# seam and contrast checks of the built-in art hold for them too.
#   tools/formpictures/make-form-pictures.sh [build-directory]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
cmake --build "$build" --target tabulon-skinart -j2 >/dev/null
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
"$build/tools/skinart/tabulon-skinart" "$scratch" --form-pictures "$root/resources/forms/pictures"
