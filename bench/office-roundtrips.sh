#!/usr/bin/env bash
# Per-file cost and start time of tabulon-batch next to one
# `soffice --headless --convert-to` invocation, over the same small
# workbooks, in alternating rounds (medians last); the calls of one file
# as the bridge's trace (TABULON_OFFICE_TRACE=1) counts and times them;
# and the window's click-to-first-output time under Xvfb after the window
# was open for 10 s.
#   bench/office-roundtrips.sh [build dir] [files] [rounds]
# Per file = (time for all files - time for one) / (files - 1); start =
# time for one file - per file.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
files=${2:-60}
rounds=${3:-5}
batch="$build/cli/tabulon-batch"
window="$build/bench/tabulon_window_first_output"
soffice=/usr/lib/libreoffice/program/soffice
for tool in "$batch" "$window"; do
  [ -x "$tool" ] || { echo "build first: cmake --build $build --target tabulon-batch tabulon_window_first_output" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tabulon-bench-trips-XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"  # tabulon's profile slots, not the user's
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
# One warm profile for all soffice rounds, as a user has.
office() { "$soffice" "-env:UserInstallation=file://$work/office-profile" --headless --norestore --nologo --nolockcheck "$@" >/dev/null 2>&1; }

echo "Making $files small workbooks ..."
mkdir -p "$work/csv" "$work/all" "$work/one"
for ((i = 0; i < files; i++)); do
  { echo "name,a,b,c,d,e"; for ((r = 1; r <= 11; r++)); do echo "row$r,$i,$r,$((i * r)),$((r % 3)).5,x$r"; done; } \
    >"$(printf "$work/csv/s%03d.csv" "$i")"
done
office --convert-to xls --outdir "$work/all" "$work"/csv/*.csv
cp "$work/all/s000.xls" "$work/one/"

run_batch() {  # source
  local t0
  rm -rf "$work/out-b"
  t0=$(now)
  "$batch" --source "$1" --out "$work/out-b" --kind csv >/dev/null 2>&1
  elapsed "$t0" "$(now)"
}
run_office() {  # files...
  local t0
  rm -rf "$work/out-o"
  t0=$(now)
  office --convert-to csv --outdir "$work/out-o" "$@"
  elapsed "$t0" "$(now)"
}
run_batch "$work/one" >/dev/null  # warm both profiles
run_office "$work/one/s000.xls" >/dev/null

b1=() bn=() o1=() on=()
for ((i = 1; i <= rounds; i++)); do
  b1+=("$(run_batch "$work/one")")
  o1+=("$(run_office "$work/one/s000.xls")")
  bn+=("$(run_batch "$work/all")")
  on+=("$(run_office "$work"/all/*.xls)")
  printf 'round %d: tabulon-batch 1 file %s s, %d files %s s;  soffice 1 file %s s, %d files %s s\n' \
    "$i" "${b1[-1]}" "$files" "${bn[-1]}" "${o1[-1]}" "$files" "${on[-1]}"
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo
echo "Calls of one run over $files files (TABULON_OFFICE_TRACE=1; median ms as the caller waited / in the worker):"
rm -rf "$work/out-t"
t0=$(now)
TABULON_OFFICE_TRACE=1 "$batch" --source "$work/all" --out "$work/out-t" --kind csv 2>"$work/trace" >/dev/null || true
t_trace=$(elapsed "$t0" "$(now)")
awk '/^tabulon-office: / && / ms, in the worker / {
  sub(/^tabulon-office: /, ""); split($0, p, / ms, in the worker /); w = p[2] + 0
  n = split(p[1], q, " "); c = q[n] + 0; call = p[1]; sub(/ [0-9.]+$/, "", call)
  count[call]++; caller[call, count[call]] = c; worker[call, count[call]] = w
} function med(a, k, n,   i, j, t, v) { for (i = 1; i <= n; i++) v[i] = a[k, i]
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    return (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2 }
END { for (k in count) printf "  %-22s %4d calls  %8.3f / %8.3f ms  (hop %.3f ms)\n", k, count[k],
        med(caller, k, count[k]), med(worker, k, count[k]), med(caller, k, count[k]) - med(worker, k, count[k]) }' "$work/trace" | sort
# What the run spends outside the office's calls: the walk, the checks, the
# staging and renaming of outputs, the log.
awk -v n="$files" -v wall="$t_trace" '/^tabulon-office: / && / ms, in the worker / {
  split($0, p, / ms, in the worker /); k = split(p[1], q, " "); c = q[k] + 0
  if (p[1] ~ /^tabulon-office: starting/) start += c; else if (p[1] ~ /quitting/) quit += c; else calls += c
} END { printf "  run %.3f s: start %.0f ms, per file %.2f ms in the office calls and %.2f ms outside them, quit %.0f ms\n",
          wall, start, calls / n, (wall * 1000 - start - quit - calls) / n, quit }' "$work/trace"

echo
echo "Window, click to first output (open 10 s before the click), under Xvfb:"
firsts=()
for ((i = 1; i <= 3; i++)); do
  rm -rf "$work/out-w"
  read -r first whole < <(xvfb-run -a "$window" "$work/one" "$work/out-w" 10 2>/dev/null)
  firsts+=("$first")
  printf '  round %d: first output %s ms (run %s ms)\n' "$i" "$first" "$whole"
done

mb1=$(median "${b1[@]}") mbn=$(median "${bn[@]}") mo1=$(median "${o1[@]}") mon=$(median "${on[@]}")
echo
echo "machine: $(nproc) cores, $(. /etc/os-release && echo "$PRETTY_NAME"), $("$soffice" --version 2>/dev/null | head -1)"
awk -v n="$files" -v b1="$mb1" -v bn="$mbn" -v o1="$mo1" -v on="$mon" -v w="$(median "${firsts[@]}")" 'BEGIN {
  pb = (bn - b1) / (n - 1) * 1000; po = (on - o1) / (n - 1) * 1000
  sb = b1 - pb / 1000; so = o1 - po / 1000
  printf "medians: tabulon-batch 1 file %.3f s, %d files %.3f s; soffice 1 file %.3f s, %d files %.3f s\n", b1, n, bn, o1, n, on
  printf "per file: tabulon-batch %.2f ms, soffice %.2f ms, ours above the office %.2f ms (target <= 2)\n", pb, po, pb - po
  printf "start:    tabulon-batch %.3f s, soffice %.3f s, difference %.3f s (target <= 0.1)\n", sb, so, sb - so
  printf "window:   click to first output %s ms (target < 1000)\n", w
}'
