#!/usr/bin/env bash
# Fidelity on workbooks that have no reference file: converts every Excel
# workbook of the corpus that pairs.tsv does not list (.xls, .xlsx, .xlsm,
# .xlsb, .biff5) with `tabulon-batch --kind xml`, and compares each output
# cell by cell with what the workbook itself stores, as Tabulon's own
# reader (tabulon_stored_cells, no office involved) finds it: values typed
# in by the author, and the results stored with the formulas.
#   bench/stored-parity.sh [build dir] [corpus dir] [jobs]
# Prints per workbook the stored cells held, then the share over all and the
# differences by kind, values and formula results apart. Workbooks the
# reader cannot take (encrypted, damaged) are listed and left out.
# KEEP=DIR keeps the outputs there (otherwise a temporary folder is removed).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
corpus=$(cd "${2:-$repo/../shared/corpus}" && pwd)
jobs=${3:-2}
batch="$build/cli/tabulon-batch"
reader="$build/bench/tabulon_stored_cells"
for tool in "$batch" "$reader"; do
  [ -x "$tool" ] || { echo "build $(basename "$tool") first: cmake --build $build" >&2; exit 1; }
done
[ -f "$corpus/pairs.tsv" ] || { echo "no corpus at $corpus (pairs.tsv missing)" >&2; exit 1; }

if [ -n "${KEEP:-}" ]; then
  work=$KEEP
  rm -rf "$work" && mkdir -p "$work"
else
  work=$(mktemp -d /tmp/tabulon-stored-XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi

# One folder per workbook, as the outputs of a.xls and a.xlsx share a name.
mkdir -p "$work/src" "$work/stored"
cut -f1 "$corpus/pairs.tsv" | tail -n +2 | sort -u >"$work/paired"
n=0
(cd "$corpus" && find workbooks -type f \( -name '*.xls' -o -name '*.xlsx' -o -name '*.xlsm' -o -name '*.xlsb' \
  -o -name '*.biff5' \) | sort) | grep -vxF -f "$work/paired" | while read -r workbook; do
  n=$((n + 1))
  id=$(printf "%03d" "$n")
  if ! "$reader" "$corpus/$workbook" >"$work/stored/$id.json" 2>/dev/null; then
    printf '%s\n' "$workbook" >>"$work/unread"
    continue
  fi
  mkdir -p "$work/src/$id"
  ln -s "$corpus/$workbook" "$work/src/$id/$(basename "$workbook")"
  printf '%s\t%s\n' "$id" "$workbook" >>"$work/list"
done

echo "Converting $(wc -l <"$work/list") workbooks with --jobs $jobs (load: $(uptime | sed 's/.*load/load/')) ..."
start=$(date +%s.%N)
"$batch" --source "$work/src" --out "$work/out" --kind xml --masks '*' --keep-tree --jobs "$jobs" \
  >"$work/log" 2>"$work/counts" || true
echo "  $(tail -1 "$work/counts") in $(echo "$(date +%s.%N) - $start" | bc) s"
grep -v 'OK$' "$work/log" | sed 's/^/  failed: /' || true
[ -f "$work/unread" ] && sed 's/^/  not read (encrypted or damaged): /' "$work/unread"

python3 - "$corpus" "$work" <<'PY'
import collections, datetime, importlib.util, json, math, os, sys
corpus, work = sys.argv[1], sys.argv[2]
loader = importlib.util.spec_from_file_location('ssml', os.path.join(corpus, 'ssml-compare.py'))
ssml = importlib.util.module_from_spec(loader); loader.loader.exec_module(ssml)

def serials(text):
    """The serials a DateTime text stands for: Excel's 1900 system (with its
    29 February 1900) and the 1904 one."""
    if text.startswith('1900-02-29'):
        day, rest = 60, text[10:]
        t = datetime.datetime.strptime('1900-03-01' + rest[:9], '%Y-%m-%dT%H:%M:%S')
        frac = (t - t.replace(hour=0, minute=0, second=0)).total_seconds() / 86400
        return [day + frac]
    t = datetime.datetime.strptime(text[:19], '%Y-%m-%dT%H:%M:%S')
    out = []
    for base, early in ((datetime.datetime(1899, 12, 30), datetime.datetime(1899, 12, 31)),
                        (datetime.datetime(1904, 1, 1), None)):
        b = early if early and t < datetime.datetime(1900, 3, 1) else base
        out.append((t - b).total_seconds() / 86400)
    return out

def close(x, y):
    return x == y or math.isclose(x, y, rel_tol=1e-9, abs_tol=1e-9)

def held(kind, value, got):
    t, v = got[0], got[1]
    if kind == 'Number':
        if t == 'Number':
            try: return close(value, float(v))
            except ValueError: return False
        if t == 'DateTime':
            # our DateTime keeps milliseconds: a second apart at most
            return any(abs(s - value) < 1.5 / 86400 for s in serials(v))
        return False
    if kind == 'Text':
        return t == 'String' and v.replace('\r\n', '\n') == value.replace('\r\n', '\n')
    if kind == 'Logical':
        return t == 'Boolean' and v.strip() in ('1', '0') and int(v.strip()) == int(value)
    return t == 'Error' and v.strip() == value

total = matched = 0
kinds = collections.Counter()
where = collections.defaultdict(collections.Counter)
examples = {}
for line in open(os.path.join(work, 'list')):
    n, workbook = line.rstrip('\n').split('\t')
    base = os.path.basename(workbook)
    out = os.path.join(work, 'out', n, base[:base.find('.', 1)] if '.' in base[1:] else base) + '.xml'
    stored = json.load(open(os.path.join(work, 'stored', n + '.json')))
    try:
        ours = ssml.cells(out)
    except Exception:
        ours = None
    worksheets = [s for s in stored['sheets'] if s['kind'] == 'Worksheet']
    cells = good = 0
    for i, sheet in enumerate(worksheets):
        grid = None
        if ours is not None:
            named = [g for name, g in ours if name == sheet['name']]
            grid = named[0] if named else (ours[i][1] if i < len(ours) else None)
        for row, column, kind, value, formula in sheet['cells']:
            cells += 1
            got = grid.get((row + 1, column + 1)) if grid is not None else None
            if got is not None and held(kind, value, got):
                good += 1
                continue
            what = 'formula result' if formula else 'value'
            if ours is None:
                k = 'no output'
            elif grid is None:
                k = 'sheet missing'
            elif got is None:
                k = '%s missing: %s%s' % (what, kind, ' (empty)' if value == '' else '')
            elif {'Number': 'Number', 'Text': 'String', 'Logical': 'Boolean', 'Error': 'Error'}[kind] != got[0] \
                    and not (kind == 'Number' and got[0] == 'DateTime'):
                k = '%s %s written as %s' % (what, kind, got[0])
            else:
                k = '%s %s differs%s' % (what, kind, ' (as a date)' if got[0] == 'DateTime' else '')
            kinds[k] += 1
            where[k][workbook] += 1
            examples.setdefault(k, '%s %s!R%dC%d: stored %r, ours %s' % (workbook, sheet['name'], row + 1, column + 1,
                                                                      value, got[:2] if got else None))
    total += cells; matched += good
    print('%6.1f %%  %6d/%-6d %s' % (100.0 * good / cells if cells else 100, good, cells, workbook))
print()
print('stored cells held: %d of %d = %.2f %%' % (matched, total, 100.0 * matched / total if total else 0))
print('differences by kind:')
for k, c in kinds.most_common():
    top = ', '.join('%s (%d)' % (w, c) for w, c in where[k].most_common(4))
    print('  %6d  %s\n          in %s%s\n          e.g. %s' % (c, k, top, ' ...' if len(where[k]) > 4 else '', examples[k]))
PY
