#!/usr/bin/env bash
# The ways out: Escape in the main menu, yes in the quit question and a window
# close (in every screen mode) all end with status 0 and write the preferences and scores; the log is
# written only with "/LOG" as the first parameter.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() { # name script-body [game args...]
  local name=$1 body=$2; shift 2
  mkdir -p "$work/$name"
  printf '%s\n' "$body" > "$work/$name.script"
  "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$work/$name/" "$work/$name.script" -- "$@" \
    > "$work/$name.out" 2> "$work/$name.err"
}

run escape $'press Escape\npress Escape\npress Escape\nframes 10'
[ $? -eq 0 ] || fail "Escape in the main menu did not end with status 0"
[ -f "$work/escape/Kistora.prefs" ] || fail "Escape in the main menu wrote no preferences"
[ -f "$work/escape/Kistora.scores" ] || fail "Escape in the main menu wrote no scores"
head -c 3 "$work/escape/Kistora.prefs" | od -An -tx1 | grep -q 'ef bb bf' || fail "preferences lack the byte-order mark"

run quit $'press Escape\npress Escape\nframes 5\npress Down\npress Down\npress Down\npress Return\nframes 5\npress Return\nframes 10'
[ $? -eq 0 ] || fail "yes in the quit question did not end with status 0"
[ -f "$work/quit/Kistora.prefs" ] || fail "the quit question wrote no preferences"

run close $'frames 3\nclose\nframes 3'
[ $? -eq 0 ] || fail "a window close did not end with status 0"
[ -f "$work/close/Kistora.prefs" ] || fail "a window close wrote no preferences"

# Full screen too: the window manager's close (Alt+F4) ends the game.
mkdir -p "$work/closefull"
printf '\xef\xbb\xbf[Settings]\r\nGameScreen = 0\r\n' > "$work/closefull/Kistora.prefs"
run closefull $'frames 3\nexpect GameScreen 0\nclose\nframes 3\nexpect GameState 99'
[ $? -eq 0 ] || fail "a close request in full screen did not end the game with status 0"
grep -aq $'^GameScreen=0\r$\|^GameScreen = 0\r$' "$work/closefull/Kistora.prefs" || fail "a close in full screen did not save"

run endofscript $'frames 3'
[ $? -eq 0 ] || fail "the end of a script is not status 0"
[ ! -f "$work/endofscript/Kistora.prefs" ] || fail "ending the script must not save like a quit"

run logupper $'frames 1' /LOG
ls "$work/logupper"/Log\ *.log >/dev/null 2>&1 || fail "/LOG wrote no log"
log=$(ls "$work/logupper"/Log\ *.log | head -n 1)
head -n 1 "$log" | od -c | head -n 1 | grep -q 'K   i   s   t   o   r   a  \\r  \\n' || fail "the log's first line is not Kistora CR LF"
grep -aq $'^InitSprite:\t\tOK\r$' "$log" || fail "no InitSprite line with two tabs in the log"
grep -aq $'^Load asset (crate.png):\t\tOK\r$' "$log" || fail "no crate.png line in the log"

run loglower $'frames 1' /log
! ls "$work/loglower"/Log\ *.log >/dev/null 2>&1 || fail "/log in small letters opened a log"
run logsecond $'frames 1' x /LOG
! ls "$work/logsecond"/Log\ *.log >/dev/null 2>&1 || fail "/LOG as the second parameter opened a log"

run badscript $'jump 3'
[ $? -eq 2 ] || fail "a script error must end with status 2"
run badexpect $'expect GameState 7'
[ $? -eq 3 ] || fail "a failed expect must end with status 3"
echo "shell exits: all checks passed"
