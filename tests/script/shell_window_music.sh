#!/usr/bin/env bash
# Window events and the music: minimised in windowed mode pauses the track and
# restoring resumes it; borderless ignores a minimise; a full-screen game gets
# its music back when the focus returns; the window close ends the game from
# any state with the preferences written.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() { # name prefs-GameScreen script-body
  local name=$1 mode=$2 body=$3
  mkdir -p "$work/$name"
  [ -n "$mode" ] && printf '\xef\xbb\xbf[Settings]\r\nGameScreen = %s\r\n' "$mode" > "$work/$name/Kistora.prefs"
  printf '%s\n' "$body" > "$work/$name.script"
  "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$work/$name/" "$work/$name.script" \
    > "$work/$name.out" 2> "$work/$name.err"
  local status=$?
  [ "$status" -eq 0 ] || { cat "$work/$name.err" >&2; fail "$name: driver exited with $status"; }
}

run windowed 1 $'frames 3\nexpect GameScreen 1\nexpect MusicTrack 0
minimise\nframes 2\nexpect MusicTrack -1\nexpect MusicOn 1
restore\nframes 1\nexpect MusicTrack 0
press Escape\npress Escape\nframes 5\nexpect GameState 2
minimise\nframes 1\nexpect MusicTrack -1
restore\nframes 1\nexpect MusicTrack 0'

# With the music switched off nothing starts on restore.
run windowedoff 1 $'press Escape\npress Escape\nframes 5\npress M\nexpect MusicTrack -1
minimise\nframes 1\nrestore\nframes 1\nexpect MusicTrack -1\nexpect MusicOn 0'

run borderless "" $'frames 3\nexpect GameScreen 2\nminimise\nframes 2\nexpect MusicTrack 0'

run fullscreen 0 $'frames 3\nexpect GameScreen 0\nexpect MusicTrack 0
focus off\nframes 3\nexpect MusicTrack -1
focus on\nframes 1\nexpect MusicTrack 0'

# A close request while the quit question slides in still ends the game normally.
mkdir -p "$work/close"
printf 'press Escape\npress Escape\nframes 5\npress Down\npress Down\npress Down\npress Return\nexpect GameState 6\nclose\nframes 1\nexpect GameState 99\n' \
  > "$work/close.script"
"$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$work/close/" "$work/close.script" > /dev/null 2> "$work/close.err"
[ $? -eq 0 ] || fail "close: the window close did not end the game with status 0"
[ -f "$work/close/Kistora.prefs" ] || fail "close: no preferences written"
[ -f "$work/close/Kistora.scores" ] || fail "close: no scores written"
echo "window music: all checks passed"
