#!/usr/bin/env bash
# Lays out every C++ file of the repository with clang-format and the
# project's .clang-format, or with --check only lists the files that differ
# (non-zero exit when there are any). Debian 12's clang-format 14 is the
# reference: other versions lay out a few constructs differently.
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
case ${1:-} in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: scripts/format.sh [--check]" >&2; exit 2 ;;
esac
formatter=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$formatter" ] || { echo "format: clang-format is not installed (scripts/setup.sh installs it)" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ $check = 0 ]; then
  "$formatter" -i "${files[@]}"
  exit 0
fi
differ=()
for f in "${files[@]}"; do
  "$formatter" "$f" | cmp -s - "$f" || differ+=("$f")
done
if [ ${#differ[@]} -gt 0 ]; then
  printf 'format: %s is not laid out as .clang-format says\n' "${differ[@]}" >&2
  echo "format: run scripts/format.sh to fix ${#differ[@]} file(s)" >&2
  exit 1
fi
