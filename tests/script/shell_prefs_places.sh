#!/usr/bin/env bash
# Where the preferences come from and what they may hold: a file beside the
# game makes that folder the save folder (and skips the locale default); the
# language from the file, the locale or en_GB; a screen mode outside 0-2 starts
# borderless; a window size index outside the list is kept inside it, and one
# larger than the desktop gives way to the largest size that fits.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A copy of the game folder: the real build folder is never written to.
game="$work/game"
mkdir -p "$game"
for file in Kistora.data Kistora.maps Kistora.languages; do
  [ -e "$KISTORA_GAME_DIR/$file" ] || fail "$file is not built in $KISTORA_GAME_DIR"
  cp -r "$KISTORA_GAME_DIR/$file" "$game/"
done
prefs() { printf '\xef\xbb\xbf; Kistora 1.0 Preferences\r\n[Settings]\r\n'; printf '%s\r\n' "$@"; }

run() { # name game-dir script-body [game args...]
  local name=$1 dir=$2 body=$3; shift 3
  mkdir -p "$work/$name"
  printf '%s\n' "$body" > "$work/$name.script"
  # shellcheck disable=SC2086
  env ${LOCALE_ENV:-} "$KISTORA_SCRIPT" --game-dir "$dir/" --user-dir "$work/$name/" ${DRIVER_ARGS:-} "$work/$name.script" -- "$@" \
    > "$work/$name.out" 2> "$work/$name.err"
  local status=$?
  [ "$status" -eq 0 ] || { cat "$work/$name.err" >&2; fail "$name: driver exited with $status"; }
}
quit=$'press Escape\npress Escape\nframes 5\npress Escape\nframes 2'

# 1. Preferences beside the game: everything is written there, nothing in the user folder.
prefs "Language = fr_FR" "Music = 0" "LastPlayed = 0" > "$game/Kistora.prefs"
run besidegame "$game" $'frames 2\nexpect Language fr_FR\nexpect MusicOn 0\nexpect MusicTrack -1\npress S\nframes 1\n'"$quit" /LOG
[ -z "$(ls -A "$work/besidegame")" ] || fail "besidegame: files in the user folder: $(ls -A "$work/besidegame")"
[ -f "$game/Kistora.scores" ] || fail "besidegame: no scores beside the game"
ls "$game"/Log\ *.log > /dev/null 2>&1 || fail "besidegame: no log beside the game"
ls "$game"/Kistora\ *.png > /dev/null 2>&1 || fail "besidegame: no screenshot beside the game"
grep -aq $'^Language=fr_FR\r$\|^Language = fr_FR\r$' "$game/Kistora.prefs" || fail "besidegame: preferences not rewritten in place"
grep -aq $'^Music=0\r$\|^Music = 0\r$' "$game/Kistora.prefs" || fail "besidegame: music setting lost"
log=$(ls "$game"/Log\ *.log | head -n 1)
grep -aq $'^SaveTo:\t\t'"$game"$'/\r$' "$log" || fail "besidegame: SaveTo is not the game folder in the log"

# 2. Beside the game without a language: en_GB, even with a French locale.
prefs "Music = 1" > "$game/Kistora.prefs"
rm -f "$game"/Log\ *.log "$game"/Kistora.scores "$game"/Kistora\ *.png
LOCALE_ENV="LANG=fr_FR.UTF-8 LC_ALL= LC_MESSAGES=" run nolanguage "$game" $'frames 2\nexpect Language en_GB'
rm -f "$game/Kistora.prefs" "$game/Kistora.scores"

# 3. No file anywhere: the user folder is made, the locale picks the language.
LOCALE_ENV="LANG=de_DE.UTF-8 LC_ALL= LC_MESSAGES=" run fresh "$game" $'frames 2\nexpect Language de_DE\nexpect GameScreen 2\nexpect Resolution 1\n'"$quit"
[ -f "$work/fresh/Kistora.prefs" ] || fail "fresh: no preferences in the user folder"
[ ! -e "$game/Kistora.prefs" ] || fail "fresh: preferences written beside the game"
# A locale without a language file: en_GB.
LOCALE_ENV="LANG=pt_BR.UTF-8 LC_ALL= LC_MESSAGES=" run portuguese "$game" $'frames 2\nexpect Language en_GB'

# 4. The language from the user's file; an unknown code falls back and is saved as en_GB.
mkdir -p "$work/french"; prefs "Language = fr_FR" > "$work/french/Kistora.prefs"
run french "$game" $'frames 2\nexpect Language fr_FR\nexpect PendingLanguage fr_FR'
mkdir -p "$work/unknown"; prefs "Language = xx_YY" > "$work/unknown/Kistora.prefs"
run unknown "$game" $'frames 2\nexpect Language en_GB\n'"$quit"
grep -aq $'^Language=en_GB\r$\|^Language = en_GB\r$' "$work/unknown/Kistora.prefs" || fail "unknown: en_GB not saved"

# 5. A screen mode the game does not have starts borderless and is saved so.
mkdir -p "$work/mode7"; prefs "GameScreen = 7" > "$work/mode7/Kistora.prefs"
run mode7 "$game" $'frames 2\nexpect GameScreen 2\nexpect ScreenWidth 1920\nexpect ScreenHeight 1080\n'"$quit"
grep -aq $'^GameScreen=2\r$\|^GameScreen = 2\r$' "$work/mode7/Kistora.prefs" || fail "mode7: borderless not saved"
mkdir -p "$work/modeneg"; prefs "GameScreen = -1" > "$work/modeneg/Kistora.prefs"
run modeneg "$game" $'frames 2\nexpect GameScreen 2'

# 6. A window size index past the list: the largest entry (on a desktop it
# fits); below it: the smallest.
mkdir -p "$work/size42"; prefs "GameScreen = 1" "Resolution = 42" > "$work/size42/Kistora.prefs"
DRIVER_ARGS="--desktop 3840x2160" run size42 "$game" $'frames 2\nexpect GameScreen 1\nexpect Resolution 9\nexpect ScreenWidth 3840\nexpect ScreenHeight 2160'
mkdir -p "$work/sizeneg"; prefs "GameScreen = 1" "Resolution = -4" > "$work/sizeneg/Kistora.prefs"
run sizeneg "$game" $'frames 2\nexpect Resolution 0\nexpect ScreenWidth 1024\nexpect ScreenHeight 576'

# 7. A stored window size larger than the desktop: the largest listed size
# that fits (1920x1080 on 1920x1080), and that is what the preferences keep.
# (The sizes that fit other desktops are worked out in the unit tests.)
mkdir -p "$work/toolarge"; prefs "GameScreen = 1" "Resolution = 9" > "$work/toolarge/Kistora.prefs"
run toolarge "$game" $'frames 2\nexpect Resolution 4\nexpect ScreenWidth 1920\nexpect ScreenHeight 1080\nexpect PendingResolution 4\n'"$quit"
grep -aq $'^Resolution=4\r$\|^Resolution = 4\r$' "$work/toolarge/Kistora.prefs" || fail "toolarge: the fitting size is not saved"

# 8. LastPlayed names a position in the list of 60 levels (0 to 59): one equal
# to the count shows the last level and is saved back as 59, not as it was read.
mkdir -p "$work/last60"; prefs "LastPlayed = 60" > "$work/last60/Kistora.prefs"
run last60 "$game" $'frames 2\nexpect LevelCount 60\nexpect SelectedLevel 59\nexpect LastPlayedIndex 59\n'"$quit"
grep -aq $'^LastPlayed=59\r$\|^LastPlayed = 59\r$' "$work/last60/Kistora.prefs" || fail "last60: LastPlayed was not saved as 59"
echo "prefs places: all checks passed"
