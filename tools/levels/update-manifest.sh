#!/bin/bash
# Brings content/levels/manifest.txt and content/levels/solutions.txt up to date
# with kistora-solve after a level (or the solver) changed: the push count, the
# crate changes and the search nodes of every level, and its push-optimal answer.
# The comment lines and the idea written beside each level stay as they are; a
# new level gets an empty idea to fill in.
#   bash tools/levels/update-manifest.sh [BUILD_DIR]     (default: build)
set -eu
cd "$(dirname "$0")/../.."
Build=${1:-build}
Solver=$Build/kistora-solve
Manifest=content/levels/manifest.txt
Solutions=content/levels/solutions.txt
[ -x "$Solver" ] || { echo "update-manifest: $Solver is not built" >&2; exit 1; }
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT
for File in content/levels/levels_*.txt; do
  "$Solver" "$File" > "$Work/$(basename "$File").out" || { echo "update-manifest: a level of $File is not solved" >&2; exit 1; }
done
cat "$Work"/*.out | sort > "$Work/all"
# The figures, with the idea kept from the old manifest.
awk '
  FNR == NR {
    if ($0 ~ /^#/ || NF == 0) next
    Idea = $0
    for (K = 1; K <= 4; K++) sub(/^[^ ]+ */, "", Idea)
    Ideas[$1] = Idea
    next
  }
  {
    for (K = 3; K <= NF; K++) { split($K, Pair, "="); Value[Pair[1]] = Pair[2] }
    Line = $1 " " Value["pushes"] " " Value["changes"] " " Value["nodes"]
    if (Ideas[$1] != "") Line = Line " " Ideas[$1]
    print Line
  }
' "$Manifest" "$Work/all" > "$Work/rows"
{ grep '^#' "$Manifest"; cat "$Work/rows"; } > "$Work/manifest"
{ grep '^#' "$Solutions" 2>/dev/null || true
  sed -n 's/^\([^ ]*\) solved .* lurd=\(.*\)$/\1 \2/p' "$Work/all"; } > "$Work/solutions"
mv "$Work/manifest" "$Manifest"
mv "$Work/solutions" "$Solutions"
echo "update-manifest: $(wc -l < "$Work/rows") levels"
