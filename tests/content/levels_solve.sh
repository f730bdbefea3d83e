#!/bin/bash
# Every shipped level is solved push-optimally by kistora-solve within the node
# limit below, and its figures match content/levels/manifest.txt: pushes, crate
# changes (how often the answer turns to another crate) and search nodes; its
# answer matches content/levels/solutions.txt, which the replay test plays through
# the game's rules. The sources keep the set's shape: 60 levels named 01..60 with
# title keys tLevel001..tLevel060, 1-2 crates in the first five, 3-6 in 21..30,
# 4-12 from 31 on. Levels 31-60 are compact and use their floor: at most 13 floor
# cells per crate (a median of at most 9), and the answer leaves at most 25% of
# the floor unused (a median of at most 10%); each has an idea of its own in the
# manifest; and each block of ten from 21-30 to 51-60 is harder than the one
# before by the medians of both search nodes and crate changes.
set -u
Build=${KISTORA_BUILD_DIR:?}
Source=${KISTORA_SOURCE_DIR:?}
Solver=$Build/kistora-solve
Manifest=$Source/content/levels/manifest.txt
Solutions=$Source/content/levels/solutions.txt
Out=$Build/levels_solutions.txt
# The hardest level stores about 400,000 positions; a solver that needs five times
# that has lost its way and gives up instead of holding up the run.
MaxNodes=2000000
Fail=0
[ -x "$Solver" ] || { echo "FAIL: $Solver is not built"; exit 1; }

Sources=("$Source"/content/levels/levels_*.txt)
[ ${#Sources[@]} -ge 1 ] && [ -f "${Sources[0]}" ] || { echo "FAIL: no level sources"; exit 1; }

# Two solvers at a time: the machine has two cores. The hard levels are spread
# over the files, so the two run about as long as each other.
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT
K=0
for File in "${Sources[@]}"; do
  "$Solver" "$File" --max-nodes $MaxNodes > "$Work/out.$K" 2> "$Work/err.$K" &
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
  if [ $N -ge 21 ] && [ $N -le 30 ] && { [ "$Crates" -lt 3 ] || [ "$Crates" -gt 6 ]; }; then
    echo "FAIL: middle level $Name has $Crates crates, not 3 to 6"; Fail=1
  fi
  if [ $N -ge 31 ] && [ "$Crates" -lt 4 ]; then echo "FAIL: level $Name has $Crates crates, not 4 to 12"; Fail=1; fi
done < "$Work/levels"

# Every level solved, with the manifest's figures and the stored answer; no level
# missing either way. One line per level for the checks below:
# name crates pushes changes nodes floor unused.
: > "$Work/figures"
while read -r Name Verdict Rest; do
  Field() { sed -n "s/.* $1=\\([0-9]*\\).*/\\1/p" <<< " $Rest"; }
  Pushes=$(Field pushes); Changes=$(Field changes); Nodes=$(Field nodes); Ms=$(Field ms)
  Floor=$(Field floor); Unused=$(Field unused)
  Lurd=${Rest##*lurd=}
  if [ "$Verdict" != solved ]; then echo "FAIL: level $Name: $Verdict after $Nodes nodes"; Fail=1; continue; fi
  Want=$(awk -v n="$Name" '$1 == n { print $2, $3, $4 }' "$Manifest")
  if [ -z "$Want" ]; then echo "FAIL: level $Name is not in the manifest"; Fail=1
  elif [ "$Want" != "$Pushes $Changes $Nodes" ]; then
    echo "FAIL: level $Name: $Pushes pushes, $Changes crate changes, $Nodes nodes; the manifest says $Want"; Fail=1
  fi
  Stored=$(awk -v n="$Name" '$1 == n { print $2 }' "$Solutions")
  [ "$Stored" = "$Lurd" ] || { echo "FAIL: level $Name: the answer differs from solutions.txt"; Fail=1; }
  Crates=$(awk -v n="$Name" '$1 == n { print $3 }' "$Work/levels")
  echo "$Name $Crates $Pushes $Changes $Nodes $Floor $Unused" >> "$Work/figures"
  echo "level $Name: $Pushes pushes, $Changes changes, $Nodes nodes, $Floor floor, $Unused unused, ${Ms} ms"
done < "$Out"
Solved=$(grep -c ' solved ' "$Out")
Listed=$(grep -c '^[^#]' "$Manifest")
Stored=$(grep -c '^[^#]' "$Solutions")
[ "$Solved" -eq "$Listed" ] || { echo "FAIL: $Solved levels solved, $Listed in the manifest"; Fail=1; }
[ "$Solved" -eq "$Stored" ] || { echo "FAIL: $Solved levels solved, $Stored answers in solutions.txt"; Fail=1; }

# Compactness and use of the floor, levels 31-60.
Median() { sort -g | awk '{ V[NR] = $1 } END { if (NR % 2) print V[(NR + 1) / 2]; else print (V[NR / 2] + V[NR / 2 + 1]) / 2 }'; }
awk '$1 >= 31 { printf "%.4f\n", $6 / $2 }' "$Work/figures" > "$Work/per-crate"
awk '$1 >= 31 { printf "%.4f\n", 100 * $7 / $6 }' "$Work/figures" > "$Work/unused"
awk '$1 >= 31 && $6 > 13 * $2 { print "FAIL: level " $1 " has " $6 " floor cells for " $2 " crates, more than 13 each" }' "$Work/figures"
awk '$1 >= 31 && 100 * $7 > 25 * $6 { print "FAIL: level " $1 " leaves " $7 " of " $6 " floor cells unused, more than 25%" }' "$Work/figures"
Fail=$(awk -v f=$Fail '$1 >= 31 && ($6 > 13 * $2 || 100 * $7 > 25 * $6) { f = 1 } END { print f }' "$Work/figures")
PerCrate=$(Median < "$Work/per-crate"); Unused=$(Median < "$Work/unused")
echo "levels 31-60: a median of $PerCrate floor cells per crate, $Unused% of the floor unused"
awk -v m="$PerCrate" 'BEGIN { exit !(m <= 9) }' || { echo "FAIL: levels 31-60 have a median of $PerCrate floor cells per crate, above 9"; Fail=1; }
awk -v m="$Unused" 'BEGIN { exit !(m <= 10) }' || { echo "FAIL: levels 31-60 leave a median of $Unused% of the floor unused, above 10%"; Fail=1; }

# Each block of ten harder than the one before, by both medians.
Before=""
for First in 21 31 41 51; do
  Last=$((First + 9))
  Nodes=$(awk -v a=$First -v b=$Last '$1 >= a && $1 <= b { print $5 }' "$Work/figures" | Median)
  Changes=$(awk -v a=$First -v b=$Last '$1 >= a && $1 <= b { print $4 }' "$Work/figures" | Median)
  echo "levels $First-$Last: median search nodes $Nodes, median crate changes $Changes"
  if [ -n "$Before" ]; then
    read -r BeforeNodes BeforeChanges <<< "$Before"
    awk -v a="$BeforeNodes" -v b="$Nodes" 'BEGIN { exit !(b > a) }' ||
      { echo "FAIL: levels $First-$Last need no more search (median $Nodes nodes) than the ten before ($BeforeNodes)"; Fail=1; }
    awk -v a="$BeforeChanges" -v b="$Changes" 'BEGIN { exit !(b > a) }' ||
      { echo "FAIL: levels $First-$Last have no more crate changes (median $Changes) than the ten before ($BeforeChanges)"; Fail=1; }
  fi
  Before="$Nodes $Changes"
done

# One idea per level from 31 on, written beside it, none twice.
awk '/^#/ || NF == 0 { next }
  $1 >= 31 {
    Idea = $0
    for (K = 1; K <= 4; K++) sub(/^[^ ]+ */, "", Idea)
    if (Idea == "") { print "FAIL: level " $1 " has no idea in the manifest"; next }
    Key = tolower(Idea)
    if (Key in Seen) print "FAIL: levels " Seen[Key] " and " $1 " share the idea: " Idea
    Seen[Key] = $1
  }' "$Manifest" > "$Work/ideas"
[ -s "$Work/ideas" ] && { cat "$Work/ideas"; Fail=1; }
exit $Fail
