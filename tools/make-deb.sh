#!/usr/bin/env bash
# Builds Tabulon without its tests and packs it into a Debian package:
#   tools/make-deb.sh [BUILD_DIR]      (default build-deb)
# prints the package's path; install it with  apt-get install ./tabulon_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
dir=${1:-build-deb}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABULON_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
(cd "$dir" && rm -f tabulon_*.deb && cpack -G DEB >/dev/null)
ls "$dir"/tabulon_*.deb
