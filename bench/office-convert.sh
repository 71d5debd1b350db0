#!/usr/bin/env bash
# Conversion benchmark: tabulon-batch against one `soffice --convert-to`
# invocation over the same workbooks, side by side in one run.
#   bench/office-convert.sh [build dir] [small files] [large files]
# Makes its corpus itself: small workbooks (12 rows x 6 columns) in a nested
# tree plus a few of 5000 rows x 10 columns, all made with LibreOffice from
# generated CSV. Prints wall times, per-file costs and, last, the ratios.
# Targets: ratio <= 1.0 for >= 100 files; own overhead < 5 ms per file.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
small=${2:-200}
large=${3:-3}
batch="$build/cli/tabulon-batch"
soffice=/usr/lib/libreoffice/program/soffice
[ -x "$batch" ] || { echo "build tabulon-batch first: cmake --build $build --target tabulon-batch" >&2; exit 1; }

work=$(mktemp -d /tmp/tabulon-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
# A fresh private profile per office invocation, as tabulon-batch uses.
office() { "$soffice" "-env:UserInstallation=file://$work/profile-$1" --headless --norestore --nologo --nolockcheck "${@:2}" >/dev/null 2>&1; }

echo "Making the corpus: $small small and $large large workbooks ..."
mkdir -p "$work/csv" "$work/xls"
for ((i = 0; i < small; i++)); do
  f=$(printf "$work/csv/s%03d.csv" "$i")
  { echo "name,a,b,c,d,e"; for ((r = 1; r <= 11; r++)); do echo "row$r,$i,$r,$((i * r)),$((r % 3)).5,x$r"; done; } >"$f"
done
for ((i = 0; i < large; i++)); do
  awk -v i="$i" 'BEGIN { for (r = 1; r <= 5000; r++) { printf "r%d", r; for (c = 1; c < 10; c++) printf ",%d", r * c + i; printf "\n" } }' \
    >"$(printf "$work/csv/l%02d.csv" "$i")"
done
office make --convert-to xls --outdir "$work/xls" "$work"/csv/*.csv
# Spread them over a tree three levels deep.
mkdir -p "$work/tree"
n=0
for f in "$work"/xls/*.xls; do
  d="$work/tree/d$((n % 4))/e$((n % 3))"
  [ $((n % 5)) -eq 0 ] && d="$work/tree/d$((n % 4))"
  mkdir -p "$d" && mv "$f" "$d/"
  n=$((n + 1))
done
files=$(find "$work/tree" -name '*.xls' | wc -l)
mapfile -t list < <(find "$work/tree" -name '*.xls' | sort)
echo "Corpus: $files workbooks in $(find "$work/tree" -type d | wc -l) directories"
echo

run_batch() {  # kind out
  local t0 t1
  t0=$(now)
  "$batch" --source "$work/tree" --out "$2" --kind "$1" >"$work/log-$1" 2>"$work/err-$1"
  t1=$(now)
  elapsed "$t0" "$t1"
}
run_office() {  # kind out files...
  local t0 t1 kind=$1 out=$2
  shift 2
  t0=$(now)
  office "$kind-$RANDOM" --convert-to "$kind" --outdir "$out" "$@"
  t1=$(now)
  elapsed "$t0" "$t1"
}

mkdir -p "$work/empty"
t_batch_empty=$(t0=$(now); "$batch" --source "$work/empty" --out "$work/o-empty" >/dev/null 2>&1; elapsed "$t0" "$(now)")
t_batch_csv=$(run_batch csv "$work/o-bcsv")
t_batch_html=$(run_batch html "$work/o-bhtml")
t_office_one=$(run_office csv "$work/o-one" "${list[0]}")
t_office_csv=$(run_office csv "$work/o-ocsv" "${list[@]}")
t_office_html=$(run_office html "$work/o-ohtml" "${list[@]}")

ok_csv=$(grep -c 'OK$' "$work/log-csv" || true)
ok_html=$(grep -c 'OK$' "$work/log-html" || true)
out_office=$(ls "$work/o-ocsv" | wc -l)

printf '%-44s %9s\n' "what" "seconds"
printf '%-44s %9s\n' "tabulon-batch, no files (start + quit)" "$t_batch_empty"
printf '%-44s %9s   (%s of %s OK)\n' "tabulon-batch --kind csv" "$t_batch_csv" "$ok_csv" "$files"
printf '%-44s %9s   (%s of %s OK)\n' "tabulon-batch --kind html" "$t_batch_html" "$ok_html" "$files"
printf '%-44s %9s\n' "soffice --convert-to csv, one file" "$t_office_one"
printf '%-44s %9s   (%s files written)\n' "soffice --convert-to csv, all files" "$t_office_csv" "$out_office"
printf '%-44s %9s\n' "soffice --convert-to html, all files" "$t_office_html"
echo
awk -v n="$files" -v be="$t_batch_empty" -v bc="$t_batch_csv" -v bh="$t_batch_html" \
    -v o1="$t_office_one" -v oc="$t_office_csv" -v oh="$t_office_html" 'BEGIN {
  pb = (bc - be) / n * 1000; po = (oc - o1) / (n - 1) * 1000
  pbh = (bh - be) / n * 1000; poh = (oh - o1) / (n - 1) * 1000
  printf "per file, csv:  tabulon-batch %.2f ms, soffice %.2f ms, overhead %.2f ms\n", pb, po, pb - po
  printf "per file, html: tabulon-batch %.2f ms, soffice %.2f ms, overhead %.2f ms\n", pbh, poh, pbh - poh
  printf "ratio tabulon-batch / soffice --convert-to, csv:  %.3f\n", bc / oc
  printf "ratio tabulon-batch / soffice --convert-to, html: %.3f\n", bh / oh
}'
