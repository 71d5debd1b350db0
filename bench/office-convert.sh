#!/usr/bin/env bash
# Conversion benchmark: `tabulon-batch --jobs 1`, `tabulon-batch --jobs 2` and
# `soffice --convert-to` on two profiles, over the same workbooks, side by side
# in one run, in alternating rounds (the order of the tools turns every round,
# so a change of load on the machine hits each of them alike).
#   bench/office-convert.sh [build dir] [rounds] [kinds]
#   e.g. bench/office-convert.sh build 5         (csv and html)
#        bench/office-convert.sh build 5 csv     (about half the time)
# Takes about 8 minutes with 5 rounds and both kinds on a quiet 2-core machine
# (about 50 s a round and kind, plus one minute to make the workbooks).
#
# The two soffice profiles:
#   soffice-headless  a profile that only headless conversions have used: it
#                     never records the office's version, so every start runs
#                     the office's graphics render tests (what a converter that
#                     keeps such a profile pays at each start);
#   soffice-recorded  the same profile with the version recorded, as after one
#                     interactive start: the fastest a `soffice --convert-to`
#                     gets.
# tabulon-batch runs on profiles of its own in a cache folder of this run,
# made before the first round; nothing of the user's is used or touched.
#
# Sets: one small workbook, 240 small workbooks (12 rows x 6 columns) in a
# nested tree, 6 workbooks of 5000 rows x 10 columns. Prints, per set and kind,
# the median wall seconds and the median processor seconds (user + system of
# the tool and its offices: less sensitive to the load of a shared machine),
# the ratios to soffice-recorded and the machine's load average during the run.
# Targets on 2 cores: one file <= 1.05, 240 files --jobs 1 <= 1.00 and
# --jobs 2 <= 0.65 of soffice-recorded; large files --jobs 2 <= --jobs 1.
#
# The window's click-to-first-output time can be measured in the same rounds:
# set WINDOW_BENCH to a command that starts the window, clicks the start
# button on the set's tree ($1) with output directory $2 and kind $3, and
# prints the seconds from the click to the first output on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-5}
read -r -a kinds <<<"${3:-csv html}"
batch="$build/cli/tabulon-batch"
program=/usr/lib/libreoffice/program
[ -x "$batch" ] || { echo "build tabulon-batch first: cmake --build $build --target tabulon-batch" >&2; exit 1; }

work=$(mktemp -d /tmp/tabulon-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"
now() { date +%s.%N; }
office() {  # profile, soffice arguments...
  local profile=$1
  shift
  "$program/soffice" "-env:UserInstallation=file://$work/$profile" --headless --norestore --nologo --nolockcheck "$@" \
    >/dev/null 2>&1
}
loads=()
sampleLoad() { loads+=("$(cut -d' ' -f1 /proc/loadavg)"); }

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
# These also make the headless-only profile.
office profile-headless --convert-to xls --outdir "$work/xls-small" "$work"/csv/s*.csv
office profile-headless --convert-to xls --outdir "$work/xls-large" "$work"/csv/l*.csv
# The same profile with the version recorded: the version the office compares
# with is the product's own, from its settings.
version=$(tr '\n' ' ' <"$program/../share/registry/main.xcd" |
  grep -o '<prop oor:name="ooSetupVersion">[[:space:]]*<value>[^<]*' | head -1 | sed 's/.*<value>//' || true)
[ -n "$version" ] || { echo "cannot read the office's version from $program/../share/registry/main.xcd" >&2; exit 1; }
cp -r "$work/profile-headless" "$work/profile-recorded"
sed -i "s#</oor:items>#<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" oor:op=\"fuse\"><value>$version</value></prop></item>\n</oor:items>#" \
  "$work/profile-recorded/user/registrymodifications.xcu"
grep -q ooSetupLastVersion "$work/profile-headless/user/registrymodifications.xcu" &&
  echo "warning: the headless-only profile records its version" >&2
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
tools=(j1 j2 soffice-recorded soffice-headless)
for s in "${sets[@]}"; do
  echo "set $s: $(find "$work/set-$s" -name '*.xls' | wc -l) workbooks in $(find "$work/set-$s" -type d | wc -l) directories"
done
# tabulon-batch's own profiles, made once as a user's first run makes them.
"$batch" --jobs 2 --source "$work/set-large" --out "$work/warm" --kind csv >/dev/null 2>&1

# Runs one tool on one set and kind; prints the wall and processor seconds and
# checks that every workbook gave an output.
measure() {  # tool set kind
  local tool=$1 set=$2 kind=$3 out="$work/out" t0 t1 cpu expected got
  rm -rf "$out" && mkdir -p "$out"
  local timed=(/usr/bin/time -o "$work/cpu" -f "%U %S")
  t0=$(now)
  case $tool in
    j1) "${timed[@]}" "$batch" --jobs 1 --source "$work/set-$set" --out "$out" --kind "$kind" >"$work/log" 2>&1 ;;
    j2) "${timed[@]}" "$batch" --jobs 2 --source "$work/set-$set" --out "$out" --kind "$kind" >"$work/log" 2>&1 ;;
    soffice-*) mapfile -t files < <(find "$work/set-$set" -name '*.xls' | sort)
               "${timed[@]}" "$program/soffice" "-env:UserInstallation=file://$work/profile-${tool#soffice-}" \
                 --headless --norestore --nologo --nolockcheck --convert-to "$kind" --outdir "$out" "${files[@]}" \
                 >/dev/null 2>&1 ;;
    window) echo "$("$WINDOW_BENCH" "$work/set-$set" "$out" "$kind" | tail -n 1) 0"; return ;;
  esac
  t1=$(now)
  cpu=$(tail -n 1 "$work/cpu" | awk '{ printf "%.3f", $1 + $2 }')
  expected=$(find "$work/set-$set" -name '*.xls' | wc -l)
  got=$(find "$out" -maxdepth 1 -type f | wc -l)
  [ "$got" -eq "$expected" ] || echo "warning: $tool $set $kind wrote $got of $expected outputs" >&2
  awk -v a="$t0" -v b="$t1" -v c="$cpu" 'BEGIN { printf "%.3f %s\n", b - a, c }'
}

[ -n "${WINDOW_BENCH:-}" ] && tools+=(window)
declare -A wall cpu
started=$(date -u +%H:%M:%S)
sampleLoad
for ((r = 0; r < rounds; r++)); do
  echo "round $((r + 1)) of $rounds ... (load $(cut -d' ' -f1-3 /proc/loadavg))"
  for s in "${sets[@]}"; do
    for k in "${kinds[@]}"; do
      for ((i = 0; i < ${#tools[@]}; i++)); do
        t=${tools[$(((i + r) % ${#tools[@]}))]}
        read -r w c < <(measure "$t" "$s" "$k")
        sampleLoad
        wall[$t,$s,$k]+="$w "
        cpu[$t,$s,$k]+="$c "
      done
    done
  done
done
sampleLoad

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
declare -A med medCpu
table() {  # title, array name of the times, array name of the medians
  local -n times=$2 medians=$3
  echo
  printf '%-6s %-5s' set kind
  for t in "${tools[@]}"; do printf ' %17s' "$t"; done
  echo "   ($1, median of $rounds rounds)"
  for s in "${sets[@]}"; do
    for k in "${kinds[@]}"; do
      printf '%-6s %-5s' "$s" "$k"
      for t in "${tools[@]}"; do
        medians[$t,$s,$k]=$(echo "${times[$t,$s,$k]}" | median)
        printf ' %17s' "${medians[$t,$s,$k]}"
      done
      echo
    done
  done
}
table "wall seconds" wall med
table "processor seconds, user + system, tool and offices" cpu medCpu
echo
echo "wall ratios to soffice-recorded (targets: one <= 1.05; small --jobs 1 <= 1.00, --jobs 2 <= 0.65;"
echo "large --jobs 2 <= --jobs 1)"
for s in "${sets[@]}"; do
  for k in "${kinds[@]}"; do
    awk -v s="$s" -v k="$k" -v j1="${med[j1,$s,$k]}" -v j2="${med[j2,$s,$k]}" \
      -v fast="${med[soffice-recorded,$s,$k]}" -v slow="${med[soffice-headless,$s,$k]}" \
      'BEGIN { printf "%-6s %-5s  --jobs 1 %.3f   --jobs 2 %.3f   soffice-headless %.3f   --jobs 2 / --jobs 1 %.3f\n",
               s, k, j1 / fast, j2 / fast, slow / fast, j2 / j1 }'
  done
done
echo
echo "machine: $(nproc) cores, $(. /etc/os-release && echo "$PRETTY_NAME"), $("$program/soffice.bin" --version 2>/dev/null | head -1)"
printf '%s\n' "${loads[@]}" | sort -g | awk -v from="$started" -v to="$(date -u +%H:%M:%S)" \
  '{ v[NR] = $1; sum += $1 } END { printf "load average (1 min) from %s to %s UTC: min %.2f, median %.2f, max %.2f, mean %.2f over %d samples\n",
     from, to, v[1], v[int((NR + 1) / 2)], v[NR], sum / NR, NR }'
