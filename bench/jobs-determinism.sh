#!/usr/bin/env bash
# Same bytes whatever the number of offices: converts a whole tree (the
# corpus by default) with --jobs 1 and with --jobs 2, for every output kind,
# and compares the two output trees byte by byte; for the web pages it also
# checks that every picture a page refers to is there.
#   bench/jobs-determinism.sh [build dir] [source tree] [kinds]
# Prints one line per kind and the differing files; exits 1 when any differ.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
source=$(cd "${2:-$repo/../shared/corpus/workbooks}" && pwd)
kinds=${3:-"xml csv html"}
batch="$build/cli/tabulon-batch"
[ -x "$batch" ] || { echo "build tabulon-batch first" >&2; exit 1; }
work=$(mktemp -d /tmp/tabulon-jobs-XXXXXX)
trap 'rm -rf "$work"' EXIT
masks='*.xls,*.xlsx,*.xlsm,*.xlsb,*.ods,*.fods,*.biff5'
status=0
echo "load: $(uptime | sed 's/.*load/load/')"
for kind in $kinds; do
  for jobs in 1 2; do
    "$batch" --source "$source" --out "$work/$kind-$jobs" --kind "$kind" --masks "$masks" --keep-tree \
      --jobs "$jobs" >"$work/$kind-$jobs.log" 2>"$work/$kind-$jobs.err" || true
  done
  files=$(find "$work/$kind-1" -type f | wc -l)
  # The lines name the output directory of their run.
  sed -i "s|$work/$kind-[12]/|OUT/|g" "$work/$kind-1.log" "$work/$kind-2.log"
  if diff -r "$work/$kind-1" "$work/$kind-2" >"$work/$kind.diff" && diff "$work/$kind-1.log" "$work/$kind-2.log" >/dev/null; then
    echo "$kind: $files files, same bytes and lines with --jobs 1 and --jobs 2 ($(tail -1 "$work/$kind-1.err"))"
  else
    echo "$kind: DIFFERENT ($(wc -l <"$work/$kind.diff") lines of diff between the outputs)"
    head -20 "$work/$kind.diff"
    diff "$work/$kind-1.log" "$work/$kind-2.log" | head -20
    status=1
  fi
  if [ "$kind" = html ]; then
    python3 - "$work/html-1" <<'PY'
import os, re, sys, urllib.parse
root = sys.argv[1]
pages = refs = broken = 0
for d, _, names in os.walk(root):
    for n in names:
        if not n.endswith('.htm'):
            continue
        pages += 1
        html = open(os.path.join(d, n), 'rb').read().decode('utf-8', 'replace')
        for src in re.findall(r'<img[^>]* src="([^"]+)"', html):
            refs += 1
            if not os.path.exists(os.path.join(d, urllib.parse.unquote(src))):
                broken += 1
                print('  unresolved: %s -> %s' % (os.path.join(d, n), src))
print('html: %d pages, %d picture references, %d unresolved' % (pages, refs, broken))
sys.exit(1 if broken else 0)
PY
  fi
done
exit $status
