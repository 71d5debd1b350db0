#!/usr/bin/env bash
# What an office start costs on a fresh profile and on one reused from an
# earlier run: the time from launching the office to its first working
# connection, and the processor time the office used for it (user + system,
# which the load of a shared machine changes far less), in alternating rounds
# (fresh, reused, fresh, ...), medians last.
#   bench/office-profile.sh [build dir] [rounds]
# About 2 s a round on a quiet machine.
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
fresh=() reused=() freshCpu=() reusedCpu=() loads=()
for ((i = 1; i <= rounds; i++)); do
  read -r f fc < <(start "$work/fresh-$i")
  read -r r rc < <(start "$work/warm")
  loads+=("$(cut -d' ' -f1 /proc/loadavg)")
  fresh+=("$f") reused+=("$r") freshCpu+=("$fc") reusedCpu+=("$rc")
  printf 'round %d: fresh %8.1f ms (%5.0f ms processor)   reused %8.1f ms (%5.0f ms processor)\n' "$i" "$f" "$fc" "$r" "$rc"
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo
echo "machine: $(nproc) cores, $(. /etc/os-release && echo "$PRETTY_NAME"), $(/usr/lib/libreoffice/program/soffice.bin --version 2>/dev/null | head -1)"
echo "load average (1 min) during the rounds: median $(median "${loads[@]}"), max $(printf '%s\n' "${loads[@]}" | sort -g | tail -1)"
printf 'median start to first connection, fresh profile:  %8.1f ms, office processor time %5.0f ms\n' \
  "$(median "${fresh[@]}")" "$(median "${freshCpu[@]}")"
printf 'median start to first connection, reused profile: %8.1f ms, office processor time %5.0f ms\n' \
  "$(median "${reused[@]}")" "$(median "${reusedCpu[@]}")"
