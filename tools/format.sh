#!/usr/bin/env bash
# Formats the C++ sources of the tree with clang-format and the .clang-format
# at the top. With --check it changes nothing and lists the files that would
# change (exit status 1 when there are any). Other arguments name the files
# or folders to format instead of the whole tree.
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi

format=$(command -v clang-format || command -v clang-format-14 || true)
if [ -z "$format" ]; then
  echo "format.sh: clang-format is not installed (apt-get install clang-format)" >&2
  exit 2
fi

# Tracked sources only: build trees and generated files are left alone.
mapfile -t files < <(git ls-files -- "${@:-.}" | grep -E '\.(cpp|h)$')
[ ${#files[@]} -eq 0 ] && exit 0

if [ $check -eq 1 ]; then
  changed=0
  for f in "${files[@]}"; do
    if ! "$format" --style=file "$f" | cmp -s - "$f"; then
      echo "$f"
      changed=1
    fi
  done
  exit $changed
fi
"$format" --style=file -i "${files[@]}"
