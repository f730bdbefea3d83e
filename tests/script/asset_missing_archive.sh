#!/usr/bin/env bash
# A game folder without Kistora.data: the game fails in the sound phase with
# "Load asset (music and sfx):" + two tabs + "FAILED" in the log, ends with
# status 1 and writes neither preferences nor scores.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/game" "$work/user"
for file in Kistora.maps Kistora.languages; do
  [ -e "$KISTORA_GAME_DIR/$file" ] && cp -r "$KISTORA_GAME_DIR/$file" "$work/game/"
done
printf 'frames 5\n' > "$work/run.script"

"$KISTORA_SCRIPT" --game-dir "$work/game/" --user-dir "$work/user/" "$work/run.script" -- /LOG \
  > "$work/out.txt" 2> "$work/err.txt"
status=$?
[ "$status" -eq 1 ] || { cat "$work/err.txt" >&2; fail "exit status $status, expected 1"; }

log=$(ls "$work/user"/Log\ *.log 2>/dev/null | head -n 1)
[ -n "$log" ] || fail "no log was written with /LOG"
grep -aq $'^Load asset (music and sfx):\t\tFAILED\r$' "$log" || fail "no 'Load asset (music and sfx):' FAILED line"
! grep -aq 'Load asset (music1.ogg)' "$log" || fail "a sound was reported although the archive is missing"
! grep -aq 'Opening screen' "$log" || fail "the screen was opened before the sound phase failed"
[ ! -e "$work/user/Kistora.prefs" ] || fail "preferences were written"
[ ! -e "$work/user/Kistora.scores" ] || fail "scores were written"
[ ! -e "$work/game/Kistora.prefs" ] || fail "preferences were written beside the game"
echo "asset missing archive: all checks passed"
