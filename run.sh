#!/usr/bin/env bash
# Installs what is missing, builds Tabulon and starts it.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tabulon
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Tabulon under xvfb-run (a virtual X server)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/app/tabulon
fi
exec build/app/tabulon
