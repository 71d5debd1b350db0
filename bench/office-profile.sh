#!/usr/bin/env bash
# What a fresh office profile costs against one reused from an earlier run:
# the time from launching the office to its first working connection, in
# alternating rounds (fresh, reused, fresh, ...), medians last.
#   bench/office-profile.sh [build dir] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-7}
tool="$build/bench/tabulon_office_start"
[ -x "$tool" ] || { echo "build the helper first: cmake --build $build --target tabulon_office_start" >&2; exit 1; }

work=$(mktemp -d /tmp/tabulon-bench-profile-XXXXXX)
trap 'rm -rf "$work"' EXIT
# Each run gets its own cache, so the user's profiles are neither used nor touched.
start() { XDG_CACHE_HOME="$1" TMPDIR="$work" "$tool"; }

start "$work/warm" >/dev/null  # makes the profile that the reused rounds start on
fresh=() reused=()
for ((i = 1; i <= rounds; i++)); do
  f=$(start "$work/fresh-$i")
  r=$(start "$work/warm")
  fresh+=("$f") reused+=("$r")
  printf 'round %d: fresh %8.1f ms   reused %8.1f ms\n' "$i" "$f" "$r"
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mf=$(median "${fresh[@]}")
mr=$(median "${reused[@]}")
echo
echo "machine: $(nproc) cores, $(. /etc/os-release && echo "$PRETTY_NAME"), $(/usr/lib/libreoffice/program/soffice.bin --version 2>/dev/null | head -1)"
printf 'median start to first connection, fresh profile:  %8.1f ms\n' "$mf"
printf 'median start to first connection, reused profile: %8.1f ms\n' "$mr"
awk -v f="$mf" -v r="$mr" 'BEGIN { printf "a reused profile saves %.1f ms (%.0f%%) per office start\n", f - r, (f - r) / f * 100 }'
