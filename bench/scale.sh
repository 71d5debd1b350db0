#!/usr/bin/env bash
# Scale benchmark: tabulon-batch over a generated archive of small workbooks.
#   bench/scale.sh [build dir] [files] [converted] [rounds]
#   e.g. bench/scale.sh build 200000 600 3
# files:     workbooks in the tree (copies of one small .xls, 1000 a directory,
#            in directories of two levels); default 200000
# converted: files converted in each conversion round before the run is told
#            to end (SIGTERM); default 600; 0: walk rounds only
# rounds:    alternating rounds of the two measurements; default 3
#
# Two measurements per round, both over the whole tree, with --jobs 2,
# --keep-tree, --kind csv and standard output on a pipe:
#   walk    an --update run over a tree whose outputs all exist and are newer
#           (made by this script as small files, as a converted tree has them):
#           every file is walked, checked and logged "up to date"; no workbook
#           is opened. Time to the first line on the pipe, the whole run, and
#           tabulon-batch's own peak resident memory (VmHWM of its process).
#   convert a conversion of the same tree into an empty output directory, told
#           to end once `converted` lines are out: time to the first line,
#           files per second between the first and the last line, own peak
#           memory, and the offices' resident memory over the run (peak and at
#           the end).
# Prints every round and the medians, and the load average before, between
# and after the rounds. Making the tree takes about 2 minutes for 200000
# files on a quiet 2-core machine (1.3 GB of disk); it is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
files=${2:-200000}
converted=${3:-600}
rounds=${4:-3}
batch="$build/cli/tabulon-batch"
[ -x "$batch" ] || { echo "build tabulon-batch first: cmake --build $build --target tabulon-batch" >&2; exit 1; }

work=$(mktemp -d /tmp/tabulon-scale-XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"
loads=("$(cut -d' ' -f1-3 /proc/loadavg)")

echo "Making a tree of $files workbooks in $work ..."
mkdir -p "$work/seed"
{ echo "name,a,b,c"; for ((r = 1; r <= 11; r++)); do echo "row$r,$r,$((r * 7)),x$r"; done; } >"$work/seed/book.csv"
/usr/lib/libreoffice/program/soffice "-env:UserInstallation=file://$work/seed-profile" --headless --norestore \
  --convert-to xls --outdir "$work/seed" "$work/seed/book.csv" >/dev/null 2>&1
[ -s "$work/seed/book.xls" ] || { echo "the office made no seed workbook" >&2; exit 1; }
python3 - "$work/seed/book.xls" "$work/tree" "$work/done" "$files" "${TREE_LINKS:-0}" <<'PY'
import os, sys, time
seed, tree, out, count, links = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5] == "1"
data = open(seed, "rb").read()
seed_output = seed + ".csv"
with open(seed_output, "w") as f:
    f.write("name,a,b,c\n")
for i in range(count):
    rel = f"d{i // 10000:03d}/e{(i // 1000) % 10}"
    if i % 1000 == 0:
        os.makedirs(f"{tree}/{rel}", exist_ok=True)
        os.makedirs(f"{out}/{rel}", exist_ok=True)
    workbook = f"{tree}/{rel}/book{i:07d}.xls"
    output = f"{out}/{rel}/book{i:07d}.csv"
    if links:
        # A file takes some 65000 links at most: a copy of each seed per 50000.
        k = i // 50000
        if i % 50000 == 0:
            for source, copy in ((seed, f"{seed}.{k}"), (seed_output, f"{seed_output}.{k}")):
                with open(source, "rb") as a, open(copy, "wb") as b:
                    b.write(a.read())
        os.link(f"{seed}.{k}", workbook)
        os.link(f"{seed_output}.{k}", output)
        continue
    with open(workbook, "wb") as f:
        f.write(data)
    with open(output, "w") as f:
        f.write("name,a,b,c\n")
    # Newer than its workbook, however long the tree takes to make.
    later = time.time() + 3600
    os.utime(output, (later, later))
if links:
    later = time.time() + 3600
    for k in range((count + 49999) // 50000):
        os.utime(f"{seed_output}.{k}", (later, later))
PY
echo "tree made; load average $(cut -d' ' -f1-3 /proc/loadavg)"

common=(--source "$work/tree" --keep-tree --kind csv --jobs 2 --progress never)
walks=()
converts=()
for ((round = 1; round <= rounds; round++)); do
  walk=$(python3 bench/scale-run.py 0 -- "$batch" "${common[@]}" --out "$work/done" --update)
  case $walk in *" count=${files}_files:_0_converted,_0_failed,_0_replaced,_${files}_up_to_date") ;;
    *) echo "the walk round converted or failed files: $walk" >&2; exit 1 ;; esac
  echo "round $round walk:    $walk"
  walks+=("$walk")
  loads+=("$(cut -d' ' -f1-3 /proc/loadavg)")
  [ "$converted" -gt 0 ] || continue
  rm -rf "$work/fresh"
  conv=$(python3 bench/scale-run.py "$converted" -- "$batch" "${common[@]}" --out "$work/fresh")
  echo "round $round convert: $conv"
  converts+=("$conv")
  loads+=("$(cut -d' ' -f1-3 /proc/loadavg)")
done

median() {  # key, lines...
  local key=$1
  shift
  printf '%s\n' "$@" | tr ' ' '\n' | sed -n "s/^$key=//p" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'
}
echo
echo "Medians of $rounds rounds, $files workbooks, tabulon-batch --jobs 2 --keep-tree --kind csv:"
echo "  walk (--update, all up to date): first line $(median first_line_s "${walks[@]}") s," \
  "whole run $(median wall_s "${walks[@]}") s, own peak $(median own_peak_mb "${walks[@]}") MB"
[ "$converted" -gt 0 ] && echo "  convert ($converted files):      first line $(median first_line_s "${converts[@]}") s," \
  "$(median files_per_s "${converts[@]}") files/s, own peak $(median own_peak_mb "${converts[@]}") MB," \
  "offices peak $(median office_peak_mb "${converts[@]}") MB, at the end $(median office_last_mb "${converts[@]}") MB"
echo "Load average (1, 5, 15 min) before, between and after the rounds:"
printf '  %s\n' "${loads[@]}"
echo "Processors: $(nproc)"
