#!/bin/bash
# kistora-levelc: broken level sources are refused with a message naming the fault
# and no archive is written; a good source compiles into an archive with the index,
# one map and one thumbnail per level and the 19 tiles, its map centred in the
# 30 x 15 field with the crate, target and worker lists in field cells.
# kistora-solve: a level without a solution is reported unsolved (exit 1).
# Runs with the compiler's own placeholder tiles, so it needs no art.
set -u
Build=${KISTORA_BUILD_DIR:?}
Compiler=$Build/kistora-levelc
Solver=$Build/kistora-solve
Pack=$Build/kistora-pack
Fail=0
for Tool in "$Compiler" "$Solver" "$Pack"; do
  [ -x "$Tool" ] || { echo "FAIL: $Tool is not built"; exit 1; }
done
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT

# Each bad level and a word its message must hold.
Refuse() {
  local What=$1 Expect=$2
  cat > "$Work/bad.txt"
  rm -f "$Work/bad.maps"
  if "$Compiler" --out "$Work/bad.maps" --placeholder-tiles "$Work/bad.txt" > "$Work/msg" 2>&1; then
    echo "FAIL: $What was accepted"; Fail=1
  elif ! grep -q "$Expect" "$Work/msg"; then
    echo "FAIL: $What: message lacks '$Expect':"; cat "$Work/msg"; Fail=1
  fi
  [ -e "$Work/bad.maps" ] && { echo "FAIL: $What left an archive behind"; Fail=1; }
}

Refuse "an open wall ring" "open" <<'L'
Name: a
Title: tA
#####
#@$.
#####
L
Refuse "more crates than targets" "targets" <<'L'
Name: a
Title: tA
######
#@$$.#
######
L
Refuse "thirteen crates" "1 to 12" <<'L'
Name: a
Title: tA
################
#@$$$$$$$$$$$$$#
#..............#
################
L
Refuse "two workers" "one worker" <<'L'
Name: a
Title: tA
######
#@$.@#
######
L
Refuse "a level wider than the field" "30 x 15" <<'L'
Name: a
Title: tA
################################
#@$.                           #
################################
L
Refuse "a name used twice" "twice" <<'L'
Name: a
Title: tA
#####
#@$.#
#####
Name: a
Title: tB
#####
#@$.#
#####
L
Refuse "a level without a title key" "title key" <<'L'
Name: a
#####
#@$.#
#####
L
Refuse "a crate outside the worker's floor" "outside" <<'L'
Name: a
Title: tA
#########
#@ .#$  #
#########
L
Refuse "an unknown map character" "unknown" <<'L'
Name: a
Title: tA
#####
#@$x#
#####
L

# A good level: 7 x 5 cells centred in 30 x 15 lands at offset (11, 5).
cat > "$Work/good.txt" <<'L'
; a comment line
Name: first
Title: tFirst
#######
#@ $ .#
# ##  #
#   * #
#######

Name: second
Title: tSecond
#####
#+$ #
#####

Name: third
Title: tThird
########
#@$  . #
# $  . #
#      #
########
L
# The second level's crate cannot reach its target: it compiles all the same (the
# compiler checks form, the solver checks solutions).
if ! "$Compiler" --out "$Work/good.maps" --placeholder-tiles "$Work/good.txt" > "$Work/msg" 2>&1; then
  echo "FAIL: a good source was refused:"; cat "$Work/msg"; Fail=1
else
  "$Pack" verify "$Work/good.maps" > /dev/null || { echo "FAIL: the archive does not verify"; Fail=1; }
  "$Pack" list "$Work/good.maps" | cut -f1 | sort > "$Work/entries"
  { echo index; echo MAPS/first; echo MAPS/second; echo MAPS/third
    echo THUMBS/first.png; echo THUMBS/second.png; echo THUMBS/third.png
    for T in $(seq 1 19); do echo "TILES/$T"; done; } | sort > "$Work/want"
  diff "$Work/want" "$Work/entries" > /dev/null || { echo "FAIL: archive entries differ:"; diff "$Work/want" "$Work/entries"; Fail=1; }
  "$Pack" extract "$Work/good.maps" MAPS/first -o "$Work/first.map"
  # Fields of the map: magic, title key, width, height, layers, crate count and the lists.
  python3 - "$Work/first.map" > "$Work/fields" <<'P'
import struct, sys
b = open(sys.argv[1], 'rb').read()
text = lambda o, n: b[o:o + 2 * n].decode('utf-16-le').split('\0')[0]
print(b[:4].decode(), text(68, 256), *struct.unpack_from('<iiiiiiii', b, 580)[:3], struct.unpack_from('<i', b, 596)[0],
      struct.unpack_from('<i', b, 608)[0], text(612, 512), text(1636, 512), text(2660, 512), len(b))
# Layer 2 (walls) of column 11 from the top, column-major after 5732 + 2 layer blocks.
lb = 269 + 2 * 30 * 15
col = [struct.unpack_from('<h', b, 5732 + 2 * lb + 269 + 2 * (11 * 15 + y))[0] for y in range(15)]
print(' '.join(str(v) for v in col))
P
  Want="MAP0 tFirst 30 15 0 3 2 14,6,15,8 16,6,15,8 12,6 9239"
  Got=$(head -1 "$Work/fields")
  [ "$Got" = "$Want" ] || { echo "FAIL: map fields '$Got', expected '$Want'"; Fail=1; }
  # Column 11 is the left wall, rows 5..9, tile 4 + mask (1 up, 2 right, 4 down, 8 left):
  # the corner 4 + 6 (right, down), three straight pieces 4 + 5 (up, down), the corner 4 + 3.
  WantWalls="0 0 0 0 0 10 9 9 9 7 0 0 0 0 0"
  GotWalls=$(sed -n 2p "$Work/fields")
  [ "$GotWalls" = "$WantWalls" ] || { echo "FAIL: wall column '$GotWalls', expected '$WantWalls'"; Fail=1; }
fi

# The solver: the first level is solved and replays; the second is proven unsolvable.
Out=$("$Solver" "$Work/good.txt"); Status=$?
[ $Status -eq 1 ] || { echo "FAIL: solver exit $Status with an unsolvable level, expected 1"; Fail=1; }
# Fewest pushes by hand: 2 for the first level (walk one cell, push twice); 6 for the
# third (each crate 3 cells right, the worker walking round below in between).
grep -q '^first solved pushes=2 moves=3 .* lurd=rRR$' <<< "$Out" || { echo "FAIL: first level: $Out"; Fail=1; }
grep -q '^third solved pushes=6 ' <<< "$Out" || { echo "FAIL: third level not solved in 6 pushes: $Out"; Fail=1; }
grep -q '^second unsolved ' <<< "$Out" || { echo "FAIL: second level not reported unsolved: $Out"; Fail=1; }
Out=$("$Solver" "$Work/good.txt" --level first); Status=$?
[ $Status -eq 0 ] || { echo "FAIL: solver exit $Status for a solvable level"; Fail=1; }
exit $Fail
