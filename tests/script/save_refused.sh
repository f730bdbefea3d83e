#!/usr/bin/env bash
# Saves the disk refuses. Whether the user folder is replaced by a plain file
# while the game runs, the disk takes no more bytes (RLIMIT_FSIZE) or the
# folder is read-only: the old preferences and scores stay as they were, no
# temporary file is left, the failure is on standard error and in the log
# (when logging is on), and the game ends with status 1 instead of 0. A
# screenshot that cannot be written leaves no file at all.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
old_prefs=$'\xef\xbb\xbf\r\n; old\r\n[Settings]\r\nMusic = 0\r\n'
old_scores=$'1500\r\n42\r\n1\r\n'

printf '%s' "$old_prefs" > "$work/old.prefs"
printf '%s' "$old_scores" > "$work/old.scores"
fresh_user() { # folder
  rm -rf "$1"; mkdir -p "$1"
  cp "$work/old.prefs" "$1/Kistora.prefs"
  cp "$work/old.scores" "$1/Kistora.scores"
}
old_files_intact() { # folder what
  cmp -s "$1/Kistora.prefs" "$work/old.prefs" || fail "$2: the old preferences changed"
  cmp -s "$1/Kistora.scores" "$work/old.scores" || fail "$2: the old scores changed"
  local left
  left=$(ls -A "$1" | grep -v -e '^Kistora\.prefs$' -e '^Kistora\.scores$' -e '^Log .*\.log$')
  [ -z "$left" ] || fail "$2: left behind: $left"
}
said_both() { # stderr-file what reason
  grep -q "preferences could not be saved to .*Kistora.prefs: .*$3" "$1" || { cat "$1" >&2; fail "$2: no word of the failed preferences"; }
  grep -q "scores could not be saved to .*Kistora.scores: .*$3" "$1" || { cat "$1" >&2; fail "$2: no word of the failed scores"; }
}
driver() { # user-dir script [game args...]
  local user=$1 script=$2; shift 2
  "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$user/" --desktop 640x360 "$script" -- "$@"
}

# Music toggled so that the game has something new to save, then closed.
printf 'frames 3\npress M\nclose\nframes 3\n' > "$work/quit.script"

# 1. The folder is taken away while the game runs and a plain file is put in
# its place; the log, open in the moved folder, gets the failures.
fresh_user "$work/user"
printf 'frames 3\nstate\nframes 1500\npress M\nclose\nframes 3\n' > "$work/slow.script"
driver "$work/user" "$work/slow.script" /LOG > "$work/out1" 2> "$work/err1" &
pid=$!
for ((i = 0; i < 500; i++)); do grep -q GameState "$work/out1" 2>/dev/null && break; sleep 0.01; done
mv "$work/user" "$work/moved"
echo "not a folder" > "$work/user"
wait $pid
status=$?
[ $status -eq 1 ] || fail "folder replaced: status $status, not 1"
said_both "$work/err1" "folder replaced" "Not a directory"
old_files_intact "$work/moved" "folder replaced"
log=$(ls "$work/moved"/Log*.log)
grep -q $'^Saving preferences:\t\tFAILED (create: Not a directory)\r$' "$log" || fail "the log lacks the failed preferences"
grep -q $'^Saving scores:\t\tFAILED (create: Not a directory)\r$' "$log" || fail "the log lacks the failed scores"
[ "$(cat "$work/user")" = "not a folder" ] || fail "the plain file was changed"
rm -f "$work/user"

# 2. A full disk: no file may grow past 0 bytes.
fresh_user "$work/user"
# Standard error goes through a pipe: a file would be held to the limit too.
( ulimit -f 0; driver "$work/user" "$work/quit.script" ) 2>&1 > /dev/null | cat > "$work/err2"
status=${PIPESTATUS[0]}
[ $status -eq 1 ] || fail "full disk: status $status, not 1"
said_both "$work/err2" "full disk" "File too large"
old_files_intact "$work/user" "full disk"

# 3. A read-only folder. Root writes into any folder whatever its mode, so
# for root the folder is mounted read-only in a mount namespace of its own.
fresh_user "$work/user"
if [ "$(id -u)" -eq 0 ]; then
  unshare -m sh -c 'mount --bind -o ro "$1" "$1" && shift && exec "$@"' sh "$work/user" \
    "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$work/user/" --desktop 640x360 "$work/quit.script" \
    > /dev/null 2> "$work/err3"
  status=$?
  reason="Read-only file system"
else
  chmod 555 "$work/user"
  driver "$work/user" "$work/quit.script" > /dev/null 2> "$work/err3"
  status=$?
  chmod 755 "$work/user"
  reason="Permission denied"
fi
[ $status -eq 1 ] || { cat "$work/err3" >&2; fail "read-only folder: status $status, not 1"; }
said_both "$work/err3" "read-only folder" "$reason"
old_files_intact "$work/user" "read-only folder"

# 4. Room for the small files but not for a screenshot: no picture and no
# temporary file, "FAILED" in the log, and the rest of the run is normal.
fresh_user "$work/user"
printf 'frames 10\npress S\nframes 2\npress M\nclose\nframes 3\n' > "$work/shot.script"
( ulimit -f 8; "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$work/user/" --desktop 1920x1080 \
    "$work/shot.script" -- /LOG ) 2>&1 > /dev/null | cat > "$work/err4"
status=${PIPESTATUS[0]}
[ $status -eq 0 ] || { cat "$work/err4" >&2; fail "screenshot run: status $status, not 0"; }
ls "$work/user" | grep -q -i 'png' && fail "a failed screenshot left $(ls "$work/user" | grep -i png)"
grep -q $'^Saving screenshot:\t\tFAILED\r$' "$work/user"/Log*.log || fail "the log lacks the failed screenshot"
grep -q $'Music = 1\r$' "$work/user/Kistora.prefs" || fail "the preferences were not saved after the failed screenshot"
# And with room, the same screenshot is there.
fresh_user "$work/user"
"$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$work/user/" --desktop 1920x1080 "$work/shot.script" \
  > /dev/null 2>&1 || fail "screenshot run with room failed"
[ "$(ls "$work/user" | grep -c '^Kistora .*\.png$')" -eq 1 ] || fail "no screenshot with room on the disk"
[ "$(ls "$work/user" | grep -c '^Kistora .*\.png$')" -eq 1 ] && \
  [ "$(stat -c %s "$work/user"/Kistora*.png)" -gt 8192 ] || fail "the screenshot would fit into the limit; the test proves nothing"
exit 0
