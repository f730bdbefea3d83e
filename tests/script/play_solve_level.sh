#!/usr/bin/env bash
# Level 1 played with held keys: a turn, then one cell per 8 frames; a push;
# Escape pauses without counting the pause; the restart resets steps and board;
# the solution reaches state 11 with the steps and the time of the virtual
# clock; the scores are written at that moment, a second run reads them back
# with level 2 unlocked, and its normal quit writes the same file.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/user"

run() { # name script-body
  printf '%s\n' "$1" > "$work/run.script"
  "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$work/user/" "$work/run.script" \
    > "$work/run.out" 2> "$work/run.err"
  local status=$?
  [ $status -eq 0 ] || { cat "$work/run.err" >&2; fail "$2 (driver status $status)"; }
}

# Level 1 ("01"): the worker starts at (11, 5) facing nowhere; the corridor
# runs right to x 17, down to y 9, and the crate at (16, 9) goes left onto the
# target at (13, 9).
start=$'press Escape\npress Escape\nframes 5\npress Return\nexpect GameState 3\npress Return\nexpect GameState 7\nexpect CurrentLevelName 01\nexpect WorkerX 11\nexpect WorkerY 5\nexpect StepCount 0'

walk_right=$'down Right\nframes 1\nexpect Facing 3\nexpect MoveKind 0\nexpect StepCount 0\nframes 1\nexpect MoveKind 22\nexpect StepCount 1\nexpect WorkerX 11\nframes 7\nexpect WorkerX 11\nframes 1\nexpect WorkerX 12\nexpect StepCount 2\nframes 39\nup Right\nframes 1\nexpect WorkerX 17\nexpect StepCount 6\nexpect MoveKind 0'

walk_down=$'down Down\nframes 33\nup Down\nframes 1\nexpect WorkerY 9\nexpect StepCount 10'

run "$start
$walk_right
frames 10
press Escape
expect GameState 8
frames 600
press Escape
expect GameState 7
state
press Escape
frames 5
press Down
press Return
expect GameState 7
expect StepCount 0
expect WorkerX 11
expect WorkerY 5
expect Facing 3
expect SlideOffset 8
frames 20" "pause and restart"
# The clock stood still for the pause: 1 turn + 48 walking + 10 frames at most.
elapsed=$(grep -o '"ElapsedPlayMs": [0-9]*' "$work/run.out" | tail -n 1 | grep -o '[0-9]*$')
[ -n "$elapsed" ] || fail "no state line"
[ "$elapsed" -lt 2000 ] || fail "the pause was counted: ElapsedPlayMs $elapsed"
[ ! -f "$work/user/Kistora.scores" ] || fail "ending the script must not write scores"

# The last push is made with Left still held at the completion: letting it go
# then is not a choice on the panel ("next" stays highlighted); the next
# Left and Right are.
solve="$start
$walk_right
$walk_down
down Left
frames 1
expect Facing 2
frames 1
expect MoveKind 1
expect StepCount 11
frames 23
expect GameState 7
expect CratesOnTargets 0
frames 1
expect GameState 11
expect InLevel 0
expect StepCount 13
expect CratesOnTargets 1
expect CrateIndicatorsFilled 1
expect LevelCompleteSelection 3
frames 3
up Left
frames 1
expect LevelCompleteSelection 3
frames 2
expect LevelCompleteSelection 3
press Left
expect LevelCompleteSelection 2
press Right
expect LevelCompleteSelection 3"
# The run ends without a quit, as a crash, a kill or a lost session would:
# the scores are on disk all the same, written the moment the level was solved.
run "$solve
state
press Escape
expect GameState 2" "solving level 1"
time_ms=$(grep -o '"SelectedTimeMs": [0-9]*' "$work/run.out" | tail -n 1 | grep -o '[0-9]*$')
[ -n "$time_ms" ] && [ "$time_ms" -gt 0 ] || fail "no stored time after solving"
grep -q '"Unlocked": "110*"' "$work/run.out" || fail "solving level 1 did not unlock level 2 alone"
[ -f "$work/user/Kistora.scores" ] || fail "solving a level wrote no scores before the end"
head -n 3 "$work/user/Kistora.scores" | od -c | grep -q '\\r  \\n' || fail "the scores lines do not end with CR LF"
[ "$(head -c 3 "$work/user/Kistora.scores" | od -An -tx1 | tr -d ' ')" != "efbbbf" ] || fail "the scores file has a byte-order mark"
[ "$(sed -n 1p "$work/user/Kistora.scores" | tr -d '\r')" = "$time_ms" ] || fail "the file's time is not the stored time $time_ms"
[ "$(sed -n 2p "$work/user/Kistora.scores" | tr -d '\r')" = "13" ] || fail "the file's steps are not 13"
[ "$(sed -n 6p "$work/user/Kistora.scores" | tr -d '\r')" = "1" ] || fail "level 2 is not unlocked in the file"
cp "$work/user/Kistora.scores" "$work/solved.scores"

# A second run reads them back; its normal quit writes the same file again.
run "press Escape
press Escape
frames 5
press Return
expect GameState 3
expect SelectedSteps 13
expect SelectedTimeMs $time_ms
state
press Escape
expect GameState 2
press Escape
frames 5" "reading the scores back"
grep -q '"Unlocked": "110*"' "$work/run.out" || fail "level 2 is not unlocked after reading the scores back"
cmp -s "$work/user/Kistora.scores" "$work/solved.scores" || fail "a normal quit wrote other scores than the completion"
exit 0
