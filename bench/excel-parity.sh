#!/usr/bin/env bash
# Fidelity of the XML spreadsheet against Excel's own: converts every workbook
# of the corpus pairs with `tabulon-batch --kind xml` in one run and compares
# each output with the file Excel wrote for that workbook, cell by cell, with
# the corpus's own comparison script.
#   bench/excel-parity.sh [build dir] [corpus dir] [jobs]
# The corpus defaults to ../shared/corpus beside the repository. Prints, per
# pair, the cells held; then the share of Excel's cells held over all pairs
# and every difference counted by kind, with the pairs it comes from.
# KEEP=DIR keeps the outputs there (otherwise a temporary folder is removed).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
corpus=$(cd "${2:-$repo/../shared/corpus}" && pwd)
jobs=${3:-2}
batch="$build/cli/tabulon-batch"
[ -x "$batch" ] || { echo "build tabulon-batch first: cmake --build $build --target tabulon-batch" >&2; exit 1; }
[ -f "$corpus/pairs.tsv" ] || { echo "no corpus at $corpus (pairs.tsv missing)" >&2; exit 1; }

if [ -n "${KEEP:-}" ]; then
  work=$KEEP
  rm -rf "$work" && mkdir -p "$work"
else
  work=$(mktemp -d /tmp/tabulon-parity-XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi

# One folder per pair, so that 1904.xls and 1904.ods keep outputs of their own.
mkdir -p "$work/src"
n=0
tail -n +2 "$corpus/pairs.tsv" | while IFS=$'\t' read -r workbook reference; do
  n=$((n + 1))
  dir=$(printf "%s/src/%03d" "$work" "$n")
  mkdir -p "$dir"
  ln -s "$corpus/$workbook" "$dir/$(basename "$workbook")"
  printf '%03d\t%s\t%s\n' "$n" "$workbook" "$reference" >>"$work/pairs"
done

echo "Converting $(wc -l <"$work/pairs") workbooks with --jobs $jobs (load: $(uptime | sed 's/.*load/load/')) ..."
start=$(date +%s.%N)
"$batch" --source "$work/src" --out "$work/out" --kind xml --masks '*' --keep-tree --jobs "$jobs" \
  >"$work/log" 2>"$work/counts" || true
echo "  $(tail -1 "$work/counts") in $(echo "$(date +%s.%N) - $start" | bc) s"
grep -v 'OK' "$work/log" | sed 's/^/  failed: /' || true

python3 - "$corpus" "$work" <<'PY'
import collections, importlib.util, math, os, sys
corpus, work = sys.argv[1], sys.argv[2]
loader_spec = importlib.util.spec_from_file_location('ssml', os.path.join(corpus, 'ssml-compare.py'))
ssml = importlib.util.module_from_spec(loader_spec); loader_spec.loader.exec_module(ssml)

def kind(ref, got, pos_sheet_missing):
    rt, rv, rf = ref
    if pos_sheet_missing:
        return 'sheet missing'
    if got is None:
        return 'cell missing: %s%s' % (rt, ' (empty)' if rv == '' else '')
    gt, gv, gf = got
    if rt != gt:
        if gt == 'Error':
            return 'error %s instead of %s' % (gv, rt)
        return '%s written as %s' % (rt, gt)
    if rt == 'DateTime':
        return 'date differs'
    if rt == 'Number':
        try:
            x, y = float(rv), float(gv)
            return 'number differs' + (' (beyond 1e-6)' if not math.isclose(x, y, rel_tol=1e-6) else ' (precision)')
        except ValueError:
            return 'number unreadable'
    return '%s differs' % rt

total = matched = 0
kinds = collections.Counter()
where = collections.defaultdict(collections.Counter)
examples = {}
skipped = []
for line in open(os.path.join(work, 'pairs')):
    n, workbook, reference = line.rstrip('\n').split('\t')
    base = os.path.basename(workbook)
    out = os.path.join(work, 'out', n, base[:base.find('.', 1)] if '.' in base[1:] else base) + '.xml'
    try:
        R = ssml.cells(os.path.join(corpus, reference))
    except Exception as e:
        skipped.append((workbook, 'reference unreadable'))
        continue
    try:
        C = ssml.cells(out)
    except Exception as e:
        C = []
    held = cells = 0
    for i, (name, grid) in enumerate(R):
        cgrid = C[i][1] if i < len(C) else {}
        for pos, v in grid.items():
            cells += 1
            w = cgrid.get(pos)
            if w is not None and ssml.same(v, w):
                held += 1
                continue
            k = kind(v, w, i >= len(C))
            kinds[k] += 1
            where[k][workbook] += 1
            examples.setdefault(k, '%s %s!%s: Excel %s, ours %s' % (workbook, name, pos, v[:2], w[:2] if w else None))
    total += cells; matched += held
    print('%6.1f %%  %5d/%-5d %s' % (100.0 * held / cells if cells else 100, held, cells, workbook))
print()
for w, why in skipped:
    print('left out (%s): %s' % (why, w))
print('cells held: %d of %d = %.2f %%' % (matched, total, 100.0 * matched / total if total else 0))
print('differences by kind:')
for k, c in kinds.most_common():
    top = ', '.join('%s (%d)' % (w, c) for w, c in where[k].most_common(4))
    print('  %5d  %s\n         in %s%s\n         e.g. %s' % (c, k, top, ' ...' if len(where[k]) > 4 else '', examples[k]))
PY
