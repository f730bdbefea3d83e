#!/usr/bin/env bash
# The house layout, kept by the tool: every C++ file of src/, tools/, tests/
# and bench/ as clang-format (with the repository's .clang-format) would write
# it. Lists the files that drift and exits 1; with --fix rewrites them.
set -euo pipefail
cd "$(dirname "$0")/.."
fix=0
[ "${1:-}" = "--fix" ] && fix=1
format=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$format" ] || { echo "check-format: clang-format is not installed" >&2; exit 1; }
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' \
  'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
drift=()
for f in "${files[@]}"; do
  if [ $fix -eq 1 ]; then
    "$format" -i --style=file "$f"
  elif ! "$format" --dry-run --Werror --style=file "$f" > /dev/null 2>&1; then
    drift+=("$f")
  fi
done
if [ ${#drift[@]} -gt 0 ]; then
  echo "check-format: ${#drift[@]} of ${#files[@]} files drift from .clang-format (bash scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${drift[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files as clang-format writes them"
