#!/usr/bin/env bash
# Builds the theme reader's fuzz target with clang and runs it for a short
# while on a copy of the seed corpus. Usage: run.sh <build dir> [seconds]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
seconds="${2:-20}"
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
work="$build/corpus"
rm -rf "$work"
mkdir -p "$work"
cp "$here"/corpus/* "$work"/
cd "$build"
exec ./theme_reader_fuzz -max_total_time="$seconds" -max_len=8192 -malloc_limit_mb=64 -rss_limit_mb=1536 \
    -timeout=5 -print_final_stats=1 "$work"
