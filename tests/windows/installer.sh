#!/usr/bin/env bash
# Round trip of the Windows installer under Wine, in a private prefix and a private Xvfb display:
#
#   bash tests/windows/installer.sh [--game-without-window] SETUP.EXE
#
# 1. a silent per-user install (SETUP.EXE /S): the program folder in %LOCALAPPDATA%\Programs, its
#    files, the Start menu shortcut and the uninstall entry in HKCU;
# 2. the installed game started from there: it shows its window, Escape leads from the splash
#    over the title to the main menu and ends the game there, which saves Kistora.prefs into the
#    player's roaming folder (--game-without-window: a program that just runs and exits);
# 3. the silent uninstall through the entry's QuietUninstallString: folder, shortcut and entry
#    gone, the player's folder and its Kistora.prefs kept as they were;
# 4. the same install and uninstall for all users (/S /AllUsers): Program Files, the all-users
#    Start menu, HKLM.
#
# Needs wine64 (Debian's, /usr/lib/wine/wine64), Xvfb and xdotool. Prints the time of every step;
# on a failed check says which and exits 1. Leaves nothing behind.
set -euo pipefail

usage() {
  echo "usage: $0 [--game-without-window] SETUP.EXE" >&2
  exit 2
}
GAME_WINDOW=1
if [[ ${1:-} == --game-without-window ]]; then
  GAME_WINDOW=0
  shift
fi
[[ $# -eq 1 && -f $1 ]] || usage
SETUP=$(realpath "$1")

WINE=$(command -v wine64 || true)
[[ -n $WINE ]] || WINE=/usr/lib/wine/wine64
WINESERVER=$(command -v wineserver || true)
[[ -n $WINESERVER ]] || WINESERVER=/usr/lib/wine/wineserver
for Tool in "$WINE" "$WINESERVER" Xvfb xdotool; do
  command -v "$Tool" >/dev/null || {
    echo "installer: $Tool is missing" >&2
    exit 2
  }
done

# The game draws in a real window here, whatever the calling tests asked of SDL.
unset SDL_VIDEODRIVER SDL_RENDER_DRIVER
export SDL_AUDIODRIVER=dummy
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kistora-installer.XXXXXX")
# Wine keeps its server's socket in a folder of the temporary folder: ours.
mkdir -p "$WORK/tmp"
export TMPDIR=$WORK/tmp
export WINEPREFIX=$WORK/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
XVFB_PID=""
GAME_PID=""

cleanup() {
  if [[ -n $GAME_PID ]]; then kill "$GAME_PID" 2>/dev/null || true; fi
  if [[ -d $WINEPREFIX ]]; then "$WINESERVER" -k 2>/dev/null || true; fi
  if [[ -n $XVFB_PID ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

START=$(date +%s.%N)
LAST=$START
step() { # prints the time of the step that just ended
  local Now
  Now=$(date +%s.%N)
  awk -v Name="$1" -v Now="$Now" -v Last="$LAST" -v Start="$START" \
    'BEGIN { printf "installer: %-50s %6.1f s  (%5.1f s in all)\n", Name, Now - Last, Now - Start }'
  LAST=$Now
}
fail() {
  echo "installer: FAILED: $*" >&2
  exit 1
}
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local Limit=$1 I
  shift
  for ((I = 0; I < Limit * 10; I++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# --- The display: Xvfb picks a free number itself and tells it through a pipe.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
read -r -t 20 DISPLAY_NUMBER <&3 || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
exec 3<&-
export DISPLAY=:$DISPLAY_NUMBER
step "Xvfb on $DISPLAY"

# --- The prefix.
"$WINE" wineboot -i >"$WORK/wineboot.log" 2>&1 || fail "wineboot -i: $(tail -5 "$WORK/wineboot.log")"
"$WINESERVER" -w
USERS=$WINEPREFIX/drive_c/users
WINE_USER=""
for Folder in "$USERS"/*; do
  [[ -d $Folder/AppData/Roaming && $(basename "$Folder") != Public ]] && WINE_USER=$(basename "$Folder")
done
[[ -n $WINE_USER ]] || fail "no user folder in $USERS"
HOME_C=$USERS/$WINE_USER
PROGRAM=$HOME_C/AppData/Local/Programs/Kistora
SHORTCUT="$HOME_C/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kistora.lnk"
PLAYER="$HOME_C/AppData/Roaming/brindlewood game studio/Kistora"
PREFS=$PLAYER/Kistora.prefs
KEY='Software\Microsoft\Windows\CurrentVersion\Uninstall\Kistora'
FILES=(kistora.exe Kistora.data Kistora.maps Kistora.languages LiberationSans-Bold.ttf
  LICENSE-LiberationSans.txt README.txt uninstall.exe)
step "wineboot -i (user $WINE_USER)"

# The values of the uninstall entry under ROOT (HKCU or HKLM), as "name=data" lines; fails when
# there is no entry.
entry() {
  "$WINE" reg query "$1\\$KEY" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *\([A-Za-z]*\) *REG_[A-Z_]* *\(.*\)$/\1=\2/p' | grep .
}
# Checks the entry of an install into folder $2 (a Windows path) under root $1 with mode switch $3.
check_entry() {
  local Root=$1 Dir=$2 Mode=$3 Values Expect Size
  Values=$(entry "$Root") || fail "no uninstall entry $Root\\$KEY"
  for Expect in "DisplayName=Kistora" "DisplayVersion=1.0" "Publisher=brindlewood game studio" \
    "DisplayIcon=\"$Dir\\kistora.exe\",0" "InstallLocation=$Dir" \
    "UninstallString=\"$Dir\\uninstall.exe\" /$Mode" \
    "QuietUninstallString=\"$Dir\\uninstall.exe\" /$Mode /S" "NoModify=0x1" "NoRepair=0x1"; do
    grep -qxF -- "$Expect" <<<"$Values" || fail "uninstall entry $Root: no '$Expect' in:
$Values"
  done
  Size=$(sed -n 's/^EstimatedSize=//p' <<<"$Values")
  [[ -n $Size ]] || fail "uninstall entry $Root: no EstimatedSize"
  # Within 64 KB of the files' size (sizes round up to whole KB, the folder counts too).
  local Real
  Real=$(du -k -s --apparent-size "$(unix_path "$Dir")" | cut -f1)
  ((Size > 0 && Size >= Real - 64 && Size <= Real + 64)) ||
    fail "uninstall entry $Root: EstimatedSize $((Size)) KB, the folder has $Real KB"
}
unix_path() { "$WINE" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
check_files() {
  local F
  for F in "${FILES[@]}"; do
    [[ -s $1/$F ]] || fail "installed file missing or empty: $1/$F"
  done
}
# A shortcut names its target; Windows writes the path in UTF-16 too.
check_shortcut() {
  [[ -f $1 ]] || fail "no Start menu shortcut $1"
  LC_ALL=C grep -aq 'kistora\.exe' "$1" || iconv -f UTF-16LE -t UTF-8 "$1" 2>/dev/null |
    LC_ALL=C grep -aq 'kistora\.exe' || fail "the shortcut $1 does not point at kistora.exe"
}
# Runs a quiet uninstall string (the uninstaller returns at once: its copy in the temp folder does
# the work), then waits for the folder $2 to go and for every Wine process to end.
uninstall() {
  local Command=$1 Folder=$2 Exe Args
  Exe=$(sed -n 's/^"\([^"]*\)".*/\1/p' <<<"$Command")
  Args=$(sed -n 's/^"[^"]*" *//p' <<<"$Command")
  # shellcheck disable=SC2086 # the switches split on blanks
  "$WINE" "$Exe" $Args >"$WORK/uninstall.log" 2>&1 || fail "uninstaller $Command: exit $?"
  wait_for 60 test ! -e "$Folder" || fail "the program folder $Folder is still there after 60 s"
  timeout 60 "$WINESERVER" -w || fail "Wine processes still running 60 s after the uninstall"
}

# --- 1. Per-user install.
timeout 120 "$WINE" "$SETUP" /S >"$WORK/setup.log" 2>&1 || fail "SETUP.EXE /S: exit $? $(tail -5 "$WORK/setup.log")"
step "silent install (per user)"
[[ -d $PROGRAM ]] || fail "no program folder $PROGRAM"
check_files "$PROGRAM"
check_shortcut "$SHORTCUT"
WIN_PROGRAM=$("$WINE" winepath -w "$PROGRAM" 2>/dev/null | tr -d '\r')
check_entry HKCU "$WIN_PROGRAM" CurrentUser
entry HKLM >/dev/null && fail "a per-user install wrote HKLM\\$KEY"
step "checks: folder, files, shortcut, HKCU entry"

# --- 2. The game.
[[ ! -e $PREFS ]] || fail "$PREFS exists before the game ran"
(cd "$PROGRAM" && exec "$WINE" "$PROGRAM/kistora.exe" >"$WORK/game.log" 2>&1) &
GAME_PID=$!
if ((GAME_WINDOW)); then
  WINDOW=$(timeout 60 xdotool search --sync --onlyvisible --name '^Kistora 1\.0' | head -1) ||
    fail "no window '^Kistora 1.0' within 60 s: $(tail -5 "$WORK/game.log")"
  step "the game's window"
  # Escape: splash, title, main menu, quit. A key pressed while a screen fades in may be
  # taken by the screen before, so press it again every second until the game ends.
  for ((I = 0; I < 20; I++)); do
    kill -0 "$GAME_PID" 2>/dev/null || break
    xdotool windowfocus "$WINDOW" 2>/dev/null || true
    xdotool key --clearmodifiers Escape 2>/dev/null || true
    sleep 1
  done
fi
# shellcheck disable=SC2016 # eval expands it
wait_for 60 eval '! kill -0 "$GAME_PID" 2>/dev/null' || fail "the game did not end"
Code=0
wait "$GAME_PID" || Code=$?
GAME_PID=""
((Code == 0)) || fail "the game ended with exit code $Code: $(tail -5 "$WORK/game.log")"
[[ -s $PREFS ]] || fail "the game wrote no $PREFS"
PREFS_SUM=$(sha256sum "$PREFS")
step "game run, Kistora.prefs written"

# --- 3. Per-user uninstall.
QUIET=$(entry HKCU | sed -n 's/^QuietUninstallString=//p')
uninstall "$QUIET" "$PROGRAM"
step "silent uninstall (per user)"
[[ ! -e $SHORTCUT ]] || fail "the shortcut is still there: $SHORTCUT"
entry HKCU >/dev/null && fail "the uninstall entry HKCU\\$KEY is still there"
[[ -f $PREFS ]] || fail "the uninstaller removed the player's $PREFS"
[[ $(sha256sum "$PREFS") == "$PREFS_SUM" ]] || fail "the uninstaller changed $PREFS"
step "checks: folder, shortcut, entry gone; prefs kept"

# --- 4. All users.
timeout 120 "$WINE" "$SETUP" /S /AllUsers >"$WORK/setup.log" 2>&1 || fail "SETUP.EXE /S /AllUsers: exit $?"
step "silent install (all users)"
WIN_MACHINE=$("$WINE" cmd /c echo '%ProgramW6432%\Kistora' 2>/dev/null | tr -d '\r')
MACHINE=$(unix_path "$WIN_MACHINE")
MACHINE_SHORTCUT="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kistora.lnk"
[[ -d $MACHINE ]] || fail "no program folder $MACHINE ($WIN_MACHINE)"
check_files "$MACHINE"
check_shortcut "$MACHINE_SHORTCUT"
check_entry HKLM "$WIN_MACHINE" AllUsers
entry HKCU >/dev/null && fail "an install for all users wrote HKCU\\$KEY"
QUIET=$(entry HKLM | sed -n 's/^QuietUninstallString=//p')
uninstall "$QUIET" "$MACHINE"
[[ ! -e $MACHINE_SHORTCUT ]] || fail "the all-users shortcut is still there"
entry HKLM >/dev/null && fail "the uninstall entry HKLM\\$KEY is still there"
[[ $(sha256sum "$PREFS") == "$PREFS_SUM" ]] || fail "the all-users round trip changed $PREFS"
step "all users: checks, silent uninstall, checks"

echo "installer: OK ($(basename "$SETUP"), $(stat -c %s "$SETUP") bytes)"
