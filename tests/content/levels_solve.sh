#!/bin/bash
# Every shipped level is solved push-optimally by kistora-solve, and its push count
# matches content/levels/manifest.txt (a changed level or a solver regression shows
# up here). The level sources also keep the set's shape: 60 levels named 01..60 with
# title keys tLevel001..tLevel060, 1-2 crates in the first five, 3-6 in 21..40,
# at most 12 everywhere. The solver output is kept in levels_solutions.txt.
set -u
Build=${KISTORA_BUILD_DIR:?}
Source=${KISTORA_SOURCE_DIR:?}
Solver=$Build/kistora-solve
Manifest=$Source/content/levels/manifest.txt
Out=$Build/levels_solutions.txt
Fail=0
[ -x "$Solver" ] || { echo "FAIL: $Solver is not built"; exit 1; }

Sources=("$Source"/content/levels/levels_*.txt)
[ ${#Sources[@]} -ge 1 ] && [ -f "${Sources[0]}" ] || { echo "FAIL: no level sources"; exit 1; }

# Two solvers at a time: the machine has two cores.
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT
K=0
for File in "${Sources[@]}"; do
  "$Solver" "$File" > "$Work/out.$K" 2> "$Work/err.$K" &
  K=$((K + 1))
  if [ $((K % 2)) -eq 0 ]; then wait; fi
done
wait
cat "$Work"/out.* | sort > "$Out"
cat "$Work"/err.* >&2

# The sources' own headers and crate counts.
awk '
  /^Name:/ { if (name != "") print name, title, crates; name = $2; title = ""; crates = 0; next }
  /^Title:/ { title = $2; next }
  /^;/ { next }
  { crates += gsub(/[$*]/, "&") }
  END { if (name != "") print name, title, crates }
' "${Sources[@]}" > "$Work/levels"
Count=$(wc -l < "$Work/levels")
[ "$Count" -eq 60 ] || { echo "FAIL: $Count levels in the sources, not 60"; Fail=1; }
N=0
while read -r Name Title Crates; do
  N=$((N + 1))
  Want=$(printf '%02d' $N); WantTitle=$(printf 'tLevel%03d' $N)
  [ "$Name" = "$Want" ] || { echo "FAIL: level $N is named $Name, not $Want"; Fail=1; }
  [ "$Title" = "$WantTitle" ] || { echo "FAIL: level $Name has title key $Title, not $WantTitle"; Fail=1; }
  if [ "$Crates" -lt 1 ] || [ "$Crates" -gt 12 ]; then echo "FAIL: level $Name has $Crates crates"; Fail=1; fi
  if [ $N -le 5 ] && [ "$Crates" -gt 2 ]; then echo "FAIL: teaching level $Name has $Crates crates"; Fail=1; fi
  if [ $N -ge 21 ] && [ $N -le 40 ] && { [ "$Crates" -lt 3 ] || [ "$Crates" -gt 6 ]; }; then
    echo "FAIL: middle level $Name has $Crates crates, not 3 to 6"; Fail=1
  fi
done < "$Work/levels"

# Every level solved, with the manifest's push count; no level missing either way.
while read -r Name Verdict Rest; do
  Pushes=$(sed -n 's/.*pushes=\([0-9]*\).*/\1/p' <<< "$Rest")
  Ms=$(sed -n 's/.* ms=\([0-9]*\).*/\1/p' <<< "$Rest")
  if [ "$Verdict" != solved ]; then echo "FAIL: level $Name: $Verdict"; Fail=1; continue; fi
  Want=$(awk -v n="$Name" '$1 == n { print $2 }' "$Manifest")
  if [ -z "$Want" ]; then echo "FAIL: level $Name is not in the manifest"; Fail=1
  elif [ "$Want" != "$Pushes" ]; then echo "FAIL: level $Name needs $Pushes pushes, the manifest says $Want"; Fail=1
  fi
  echo "level $Name: $Pushes pushes, ${Ms} ms"
done < "$Out"
Solved=$(grep -c ' solved ' "$Out")
Listed=$(grep -c '^[^#]' "$Manifest")
[ "$Solved" -eq "$Listed" ] || { echo "FAIL: $Solved levels solved, $Listed in the manifest"; Fail=1; }
exit $Fail
