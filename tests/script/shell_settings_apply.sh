#!/usr/bin/env bash
# Applying the settings: OK with only the music changed stops or starts the
# track without re-opening the screen; a changed mode (or a changed size while
# windowed) re-opens the screen at the new size with the re-open's log lines;
# a changed size without a re-open is dropped; a changed mode takes the edited
# size along; the preferences are on disk as soon as OK is chosen.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() { # name script-body [driver args...] ; the game always gets /LOG
  local name=$1 body=$2; shift 2
  mkdir -p "$work/$name"
  printf '%s\n' "$body" > "$work/$name.script"
  "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$work/$name/" "$@" "$work/$name.script" -- /LOG \
    > "$work/$name.out" 2> "$work/$name.err"
  local status=$?
  [ "$status" -eq 0 ] || { cat "$work/$name.err" >&2; fail "$name: driver exited with $status"; }
  log=$(ls "$work/$name"/Log\ *.log 2>/dev/null | head -n 1)
  [ -n "$log" ] || fail "$name: no log"
}
count() { grep -ac "$1" "$log"; }

menu=$'press Escape\npress Escape\nframes 5'
settings=$'press Down\npress Return\nframes 5'

# Music off through OK, then on again; the screen stays as it was.
run music "$menu
$settings
press Down
press Right
press Down
press Down
expect SettingsRow 5
press Return
expect GameState 2
expect MainMenuSlideCounter 5
expect MusicOn 0
expect MusicTrack -1
expect GameScreen 2
expect ScreenWidth 1920
expect ScreenHeight 1080
frames 5
press Return
expect PendingMusic 0
frames 5
press Down
press Left
press Down
press Down
expect SettingsRow 5
press Return
expect MusicOn 1
expect MusicTrack 0
expect GameState 2"
[ "$(count $'^Music:\t\tOFF\r$')" -eq 1 ] || fail "music: no single 'Music: OFF' line"
[ "$(count $'^Music:\t\tON\r$')" -eq 1 ] || fail "music: no single 'Music: ON' line"
[ "$(count '^Opening screen')" -eq 1 ] || fail "music: the screen was re-opened for a music change"
# OFF comes before ON, both after the start-up report.
off=$(grep -an $'^Music:\t\tOFF' "$log" | cut -d: -f1)
on=$(grep -an $'^Music:\t\tON' "$log" | cut -d: -f1)
start=$(grep -an $'^OffsetY: \t\t' "$log" | head -n 1 | cut -d: -f1)
[ "$start" -lt "$off" ] && [ "$off" -lt "$on" ] || fail "music: lines out of order ($start $off $on)"

# Borderless -> windowed re-opens at the listed size (index 1, 1280x720); then
# a new size while windowed re-opens again.
run windowed "$menu
$settings
press Down
press Down
press Left
expect PendingScreenMode 1
press Down
press Down
expect SettingsRow 5
press Return
expect GameScreen 1
expect ScreenWidth 1280
expect ScreenHeight 720
expect AspectClass 3
expect Resolution 1
expect GameState 2
expect MainMenuSlideCounter 5
expect MusicTrack 0
frames 6
press Return
expect GameState 5
expect PendingScreenMode 1
frames 5
press Down
press Down
press Down
press Right
expect PendingResolution 2
press Down
press Return
expect GameScreen 1
expect Resolution 2
expect ScreenWidth 1366
expect ScreenHeight 768
frames 6
state"
[ "$(count $'^Opening screen (Borderless):\t\tOK\r$')" -eq 1 ] || fail "windowed: start-up open line missing"
[ "$(count $'^Opening screen (Windowed):\t\tOK\r$')" -eq 2 ] || fail "windowed: two re-open lines expected"
grep -aq $'^Screenwidth:\t\t1280\r$' "$log" || fail "windowed: no 'Screenwidth: 1280'"
grep -aq $'^Screenheight:\t\t720\r$' "$log" || fail "windowed: no 'Screenheight: 720'"
grep -aq $'^Screenwidth:\t\t1366\r$' "$log" || fail "windowed: no 'Screenwidth: 1366'"
[ "$(count $'^Joystick: \t\t')" -eq 2 ] || fail "windowed: the re-open's 'Joystick: ' line (with a blank) missing"
[ "$(count $'^Joystick:\t\t')" -eq 1 ] || fail "windowed: start-up 'Joystick:' line missing"
[ "$(count $'^AspectRatio:\t\t3\r$')" -eq 3 ] || fail "windowed: an AspectRatio class line per opening expected"
[ "$(count $'^TileSize: \t\t')" -eq 3 ] || fail "windowed: a TileSize line per opening expected"
# The desktop size is not logged again at a re-open.
[ "$(count '^ScreenWidth:')" -eq 1 ] || fail "windowed: the desktop size was logged again"
grep -aq '"frame": ' "$work/windowed.out" || fail "windowed: no state line"
# The first re-open writes its lines in this order, nothing else in between.
want='Opening screen (Windowed):
Screenwidth:
Screenheight:
Joystick: 
AspectRatio:
AspectRatio:  16:9
Load asset (title_16x9.png):
AspectRatio:  16:9
Load asset (bgs_16x9.png):
Load asset (crate.png):
Load asset (idle_left.png):
Load asset (idle_right.png):
Load asset (idle_up.png):
Load asset (idle_down.png):
Load asset (push_right.png):
Load asset (push_left.png):
Load asset (push_up.png):
Load asset (push_down.png):
Load asset (tile_01.png):
Load asset (locked.png):
Load asset (titleback_c.png):
TileSize: 
OffsetX: 
OffsetY: '
got=$(tr -d '\r' < "$log" | awk '/^Opening screen \(Windowed\)/ { on = 1 } on { print } on && /^OffsetY: / { exit }' | cut -f1)
[ "$got" = "$want" ] || fail "windowed: re-open lines out of order:
$got"

# Windowed with a changed size, then borderless: the re-open takes the edited
# size along as the current index.
printf '\xef\xbb\xbf[Settings]\r\nGameScreen = 1\r\nResolution = 0\r\n' > "$work/prefs"
mkdir -p "$work/modeandsize"
cp "$work/prefs" "$work/modeandsize/Kistora.prefs"
run modeandsize "$menu
expect GameScreen 1
expect ScreenWidth 1024
expect ScreenHeight 576
$settings
press Down
press Down
press Down
press Right
press Right
expect PendingResolution 2
press Up
press Right
expect PendingScreenMode 2
press Down
expect SettingsRow 5
press Return
expect GameScreen 2
expect Resolution 2
expect ScreenWidth 1920
expect ScreenHeight 1080
frames 6
press Escape
frames 3"
grep -aq $'^Resolution=2\r$\|^Resolution = 2\r$' "$work/modeandsize/Kistora.prefs" || fail "modeandsize: the edited size was not kept ($(cat -A "$work/modeandsize/Kistora.prefs"))"
grep -aq $'^GameScreen=2\r$\|^GameScreen = 2\r$' "$work/modeandsize/Kistora.prefs" || fail "modeandsize: borderless not saved"

# Borderless: window, new size, back to borderless, OK: no re-open, size dropped.
run dropped "$menu
$settings
press Down
press Down
press Left
press Down
press Right
press Right
expect PendingResolution 3
press Up
press Right
expect PendingScreenMode 2
press Down
expect SettingsRow 5
press Return
expect GameScreen 2
expect Resolution 1
expect GameState 2"
[ "$(count '^Opening screen')" -eq 1 ] || fail "dropped: the screen was re-opened"

# The preferences are written the moment the settings are applied: the run
# "music" above ended without a quit (as a crash or a kill would), and its
# file holds what a quit writes (the file of "modeandsize", written by a quit,
# has the same lines with that run's values).
[ -f "$work/music/Kistora.prefs" ] || fail "music: applying the settings wrote no preferences"
head -c 3 "$work/music/Kistora.prefs" | od -An -tx1 | grep -q 'ef bb bf' || fail "music: no byte-order mark"
[ "$(sed -E 's/=.*//; s/ *$//' "$work/music/Kistora.prefs" | tr -d '\r')" = \
  "$(sed -E 's/=.*//; s/ *$//' "$work/modeandsize/Kistora.prefs" | tr -d '\r')" ] || fail "music: not the lines a quit writes"
grep -aq $'^Music=1\r$\|^Music = 1\r$' "$work/music/Kistora.prefs" || fail "music: the last applied music setting is not in the file"

# A 5:4 desktop: class 2 and its aspect line before the picture loads.
run desktop54 $'frames 2\nexpect AspectClass 2\nexpect ScreenWidth 1280\nexpect ScreenHeight 1024' --desktop 1280x1024
grep -aq $'^AspectRatio:\t\t2\r$' "$log" || fail "desktop54: no 'AspectRatio: 2' line"
grep -aq $'^AspectRatio:  5:4\r$' "$log" || fail "desktop54: no 'AspectRatio:  5:4' line"
grep -aq $'^Load asset (title_5x4.png):\t\tOK\r$' "$log" || fail "desktop54: title_5x4.png not loaded"
grep -aq $'^ScreenWidth:\t\t1280\r$' "$log" || fail "desktop54: desktop width not logged"
echo "settings apply: all checks passed"
