#!/usr/bin/env bash
# Conversion benchmark: `tabulon-batch --jobs 1`, `tabulon-batch --jobs 2` and
# one `soffice --convert-to` invocation over the same workbooks, side by side
# in one run, in alternating rounds (the order of the three turns every round,
# so a load change on the machine hits each of them alike).
#   bench/office-convert.sh [build dir] [rounds]
# Sets: one small workbook, 240 small workbooks (12 rows x 6 columns) in a
# nested tree, 6 workbooks of 5000 rows x 10 columns; kinds csv and html.
# soffice runs on a warm profile of its own, made before the first round, as a
# user who has used LibreOffice has it; tabulon-batch on its cached profiles.
# Prints medians per set, kind and tool, and, last, the ratios to soffice.
# Targets on 2 cores: 240 files --jobs 2 <= 0.65, --jobs 1 <= 0.95; one file
# <= 1.0.
#
# The window's click-to-first-output time can be measured in the same rounds:
# set WINDOW_BENCH to a command that starts the window, clicks the start
# button on the set's tree ($1) with output directory $2 and kind $3, and
# prints the seconds from the click to the first output on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-5}
batch="$build/cli/tabulon-batch"
soffice=/usr/lib/libreoffice/program/soffice
[ -x "$batch" ] || { echo "build tabulon-batch first: cmake --build $build --target tabulon-batch" >&2; exit 1; }

work=$(mktemp -d /tmp/tabulon-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }
office() { "$soffice" "-env:UserInstallation=file://$work/profile" --headless --norestore --nologo --nolockcheck "$@" >/dev/null 2>&1; }

echo "Making the corpus ..."
mkdir -p "$work/csv" "$work/xls-small" "$work/xls-large"
for ((i = 0; i < 240; i++)); do
  { echo "name,a,b,c,d,e"; for ((r = 1; r <= 11; r++)); do echo "row$r,$i,$r,$((i * r)),$((r % 3)).5,x$r"; done; } \
    >"$(printf "$work/csv/s%03d.csv" "$i")"
done
for ((i = 0; i < 6; i++)); do
  awk -v i="$i" 'BEGIN { for (r = 1; r <= 5000; r++) { printf "r%d", r; for (c = 1; c < 10; c++) printf ",%d", r * c + i; printf "\n" } }' \
    >"$(printf "$work/csv/l%02d.csv" "$i")"
done
# This also makes soffice's warm profile.
office --convert-to xls --outdir "$work/xls-small" "$work"/csv/s*.csv
office --convert-to xls --outdir "$work/xls-large" "$work"/csv/l*.csv
mkdir -p "$work/set-one" "$work/set-large"
cp "$work/xls-small/s000.xls" "$work/set-one/"
mv "$work"/xls-large/*.xls "$work/set-large/"
# 240 files over a tree three levels deep.
n=0
for f in "$work"/xls-small/*.xls; do
  d="$work/set-small/d$((n % 4))/e$((n % 3))"
  [ $((n % 5)) -eq 0 ] && d="$work/set-small/d$((n % 4))"
  mkdir -p "$d" && mv "$f" "$d/"
  n=$((n + 1))
done
sets=(one small large)
kinds=(csv html)
tools=(j1 j2 soffice)
for s in "${sets[@]}"; do
  echo "set $s: $(find "$work/set-$s" -name '*.xls' | wc -l) workbooks in $(find "$work/set-$s" -type d | wc -l) directories"
done

# Runs one tool on one set and kind; prints the wall seconds and checks
# that every workbook gave an output.
measure() {  # tool set kind
  local tool=$1 set=$2 kind=$3 out="$work/out" t0 t1 expected got
  rm -rf "$out" && mkdir -p "$out"
  t0=$(now)
  case $tool in
    j1) "$batch" --jobs 1 --source "$work/set-$set" --out "$out" --kind "$kind" >"$work/log" 2>&1 ;;
    j2) "$batch" --jobs 2 --source "$work/set-$set" --out "$out" --kind "$kind" >"$work/log" 2>&1 ;;
    soffice) mapfile -t files < <(find "$work/set-$set" -name '*.xls' | sort)
             office --convert-to "$kind" --outdir "$out" "${files[@]}" ;;
    window) "$WINDOW_BENCH" "$work/set-$set" "$out" "$kind" | tail -n 1 ;;
  esac
  t1=$(now)
  [ "$tool" = window ] && return
  expected=$(find "$work/set-$set" -name '*.xls' | wc -l)
  got=$(find "$out" -maxdepth 1 -type f | wc -l)
  [ "$got" -eq "$expected" ] || echo "warning: $tool $set $kind wrote $got of $expected outputs" >&2
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}

[ -n "${WINDOW_BENCH:-}" ] && tools+=(window)
declare -A times
for ((r = 0; r < rounds; r++)); do
  echo "round $((r + 1)) of $rounds ..."
  for s in "${sets[@]}"; do
    for k in "${kinds[@]}"; do
      for ((i = 0; i < ${#tools[@]}; i++)); do
        t=${tools[$(((i + r) % ${#tools[@]}))]}
        times[$t,$s,$k]+="$(measure "$t" "$s" "$k") "
      done
    done
  done
done

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
declare -A med
echo
printf '%-8s %-5s' set kind
for t in "${tools[@]}"; do printf ' %10s' "$t"; done
echo "   (median seconds of $rounds rounds)"
for s in "${sets[@]}"; do
  for k in "${kinds[@]}"; do
    printf '%-8s %-5s' "$s" "$k"
    for t in "${tools[@]}"; do
      med[$t,$s,$k]=$(echo "${times[$t,$s,$k]}" | median)
      printf ' %10s' "${med[$t,$s,$k]}"
    done
    echo
  done
done
echo
echo "ratios to one soffice --convert-to (targets: small --jobs 2 <= 0.65, --jobs 1 <= 0.95; one <= 1.0)"
for s in "${sets[@]}"; do
  for k in "${kinds[@]}"; do
    awk -v s="$s" -v k="$k" -v j1="${med[j1,$s,$k]}" -v j2="${med[j2,$s,$k]}" -v o="${med[soffice,$s,$k]}" \
      'BEGIN { printf "%-8s %-5s  --jobs 1 %.3f   --jobs 2 %.3f\n", s, k, j1 / o, j2 / o }'
  done
done
