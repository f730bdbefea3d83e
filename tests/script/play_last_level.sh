#!/usr/bin/env bash
# After the last level of the archive both "next" and "menu" on the
# level-complete panel lead to the game-complete panel (state 12), whose
# Return, Space and Escape go back to the main menu with the menu music. A
# two-level archive is compiled here, so the last level is short to solve.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -x "$KISTORA_BUILD_DIR/kistora-levelc" ] || fail "kistora-levelc is not built"

game="$work/game"
mkdir -p "$game" "$work/user"
cp "$KISTORA_GAME_DIR/Kistora.data" "$game/"
cp -r "$KISTORA_GAME_DIR/Kistora.languages" "$game/"
cat > "$work/levels.txt" <<'LEVELS'
Name: 01
Title: tLevel001
#####
#@$.#
#####

Name: 02
Title: tLevel002
######
#@ $.#
######
LEVELS
"$KISTORA_BUILD_DIR/kistora-levelc" --out "$game/Kistora.maps" --placeholder-tiles "$work/levels.txt" \
  > "$work/levelc.out" 2>&1 || { cat "$work/levelc.out" >&2; fail "the two-level archive did not compile"; }
# Both levels unlocked, the level select on the second (the last).
printf '\xef\xbb\xbf[Settings]\r\nLastPlayed = 1\r\n' > "$work/user/Kistora.prefs"
printf '0\r\n0\r\n1\r\n0\r\n0\r\n1\r\n' > "$work/user/Kistora.scores"

# Level 02: the worker turns right, walks one cell and pushes the crate onto
# the target.
solve=$'press Escape\npress Escape\nframes 5\npress Return\nexpect GameState 3\nexpect LevelCount 2\nexpect SelectedLevel 1
press Return\nexpect GameState 7\nexpect CurrentLevelName 02
press Right\npress Right\nframes 9\npress Right\nframes 10
expect GameState 11\nexpect LevelCompleteSelection 3'
run() { # name script-body
  printf '%s\n' "$2" > "$work/$1.script"
  "$KISTORA_SCRIPT" --game-dir "$game/" --user-dir "$work/user/" "$work/$1.script" > "$work/$1.out" 2> "$work/$1.err" \
    || { cat "$work/$1.err" >&2; fail "$1: driver failed"; }
}

run next "$solve
press Return
expect GameState 12
expect InLevel 0
expect MusicTrack 1
press Return
expect GameState 2
expect MusicTrack 0
expect LastPlayedIndex 1"

run menu "$solve
press Left
expect LevelCompleteSelection 2
press Return
expect GameState 12
press Space
expect GameState 2
expect MusicTrack 0
press Return
expect GameState 3
press Return
press Right
press Right
frames 9
press Right
frames 10
expect GameState 11
press Return
expect GameState 12
press Escape
expect GameState 2"
echo "last level: all checks passed"
