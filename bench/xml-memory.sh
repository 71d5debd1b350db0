#!/usr/bin/env bash
# Memory and time of `tabulon-batch --kind xml` on one big workbook.
#   bench/xml-memory.sh [build dir] [rows] [reference tabulon-batch] [rounds]
# Makes a rows x 10 workbook (numbers, text, dates) with LibreOffice from a
# generated CSV, converts it to XML and prints, per round, the wall time and
# the peak resident memory of tabulon-batch's own process. The peak is read
# from /proc/PID/status (VmHWM) while it runs: the office is its child, and
# the rusage that /usr/bin/time reports folds reaped children in, so that
# figure (printed too) includes the office. With a reference binary (e.g.
# one built from an earlier commit) both run in alternating rounds, and the
# two outputs are compared byte for byte.
# Target: peak below 64 MiB at 200 000 rows; not slower than the reference.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rows=${2:-200000}
reference=${3:-}
rounds=${4:-2}
batch="$build/cli/tabulon-batch"
soffice=/usr/lib/libreoffice/program/soffice
[ -x "$batch" ] || { echo "build tabulon-batch first: cmake --build $build --target tabulon-batch" >&2; exit 1; }
[ -z "$reference" ] || [ -x "$reference" ] || { echo "no reference binary $reference" >&2; exit 1; }

work=$(mktemp -d /tmp/tabulon-xmlbench-XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "Making a $rows x 10 workbook ..."
mkdir -p "$work/csv" "$work/in"
awk -v rows="$rows" 'BEGIN {
  print "name,a,b,c,d,e,f,g,day,note"
  for (r = 1; r < rows; r++)
    printf "item%d,%d,%.2f,%d,%.3f,%d,%d,%d,%04d-%02d-%02d,text %d\n", r, r, r / 7, r * 3, r / 13, r % 97, r % 5, -r,
      2000 + r % 25, 1 + r % 12, 1 + r % 28, r % 1000
}' >"$work/csv/big.csv"
"$soffice" "-env:UserInstallation=file://$work/profile" --headless --norestore --nologo --nolockcheck \
  --convert-to xlsx --outdir "$work/in" "$work/csv/big.csv" >/dev/null 2>&1
ls -l "$work/in/big.xlsx" | awk '{ printf "Input: big.xlsx, %.1f MB\n", $5 / 1e6 }'

# run NAME BINARY: prints "seconds peak-KiB time-v-KiB cpu-seconds" of one
# conversion; cpu is tabulon-batch's own user + system time (last sample).
run() {
  local out="$work/out-$1"
  rm -rf "$out"
  local start end pid batchpid=""
  start=$(date +%s.%N)
  /usr/bin/time -v -o "$work/time-$1" "$2" --source "$work/in" --out "$out" --masks "*.xlsx" --kind xml >"$work/log-$1" 2>&1 &
  pid=$!
  local peak=0 hwm cpu=0 ticks
  while kill -0 "$pid" 2>/dev/null; do
    [ -n "$batchpid" ] || batchpid=$(pgrep -P "$pid" -x tabulon-batch || true)
    if [ -n "$batchpid" ]; then
      hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$batchpid/status" 2>/dev/null || true)
      [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak=$hwm
      ticks=$(awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$batchpid/stat" 2>/dev/null || true)
      [ -n "$ticks" ] && cpu=$ticks
    fi
    sleep 0.02
  done
  wait "$pid" || { echo "$1 failed:" >&2; cat "$work/log-$1" >&2; exit 1; }
  end=$(date +%s.%N)
  grep -q "OK" "$work/log-$1" || { echo "$1 did not convert:" >&2; cat "$work/log-$1" >&2; exit 1; }
  local timev
  timev=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time-$1")
  awk -v a="$start" -v b="$end" -v p="$peak" -v t="$timev" -v c="$cpu" -v hz="$(getconf CLK_TCK)" \
    'BEGIN { printf "%.2f %d %d %.2f\n", b - a, p, t, c / hz }'
}

names=(current)
bins=("$batch")
if [ -n "$reference" ]; then names+=(reference); bins+=("$reference"); fi

declare -A times peaks cpus
for ((round = 1; round <= rounds; round++)); do
  for i in "${!names[@]}"; do
    # Alternate which one goes first.
    j=$(( (i + round) % ${#names[@]} ))
    read -r secs peak timev cpu < <(run "${names[$j]}" "${bins[$j]}")
    printf "round %d  %-9s  %6.2f s  own cpu %5.2f s  peak of tabulon-batch %7.1f MiB  (time -v, office included: %7.1f MiB)\n" \
      "$round" "${names[$j]}" "$secs" "$cpu" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" \
      "$(awk -v k="$timev" 'BEGIN { print k / 1024 }')"
    times[${names[$j]}]+="$secs "
    peaks[${names[$j]}]+="$peak "
    cpus[${names[$j]}]+="$cpu "
  done
done

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo
ls -l "$work/out-current/big.xml" | awk '{ printf "Output: big.xml, %.1f MB\n", $5 / 1e6 }'
for name in "${names[@]}"; do
  printf "%-9s  median %6.2f s  own cpu %5.2f s  peak %7.1f MiB\n" "$name" "$(echo "${times[$name]}" | median)" \
    "$(echo "${cpus[$name]}" | median)" "$(echo "${peaks[$name]}" | median | awk '{ print $1 / 1024 }')"
done
if [ -n "$reference" ]; then
  if cmp -s "$work/out-current/big.xml" "$work/out-reference/big.xml"; then
    echo "outputs: identical"
  else
    echo "outputs: DIFFER"
  fi
  awk -v a="$(echo "${times[current]}" | median)" -v b="$(echo "${times[reference]}" | median)" \
    'BEGIN { printf "time ratio current / reference: %.2f\n", a / b }'
fi
