#!/usr/bin/env bash
# Starts an installed game on a virtual X display and plays the first seconds
# as a user would: the window appears (with the game's icon and the window
# class the desktop entry names), Escape skips the splash and the title,
# and Escape in the main menu (the only state where it does so) ends the game
# normally, which saves the settings into the per-user folder. The installed tree must be unchanged
# afterwards: the game writes only into the per-user folder.
#   run-installed.sh GAME DATA-FOLDER [SCREENSHOT.png]
# GAME is the installed executable (or a link to it), DATA-FOLDER where the
# archives were installed (the log must name it as the game's folder).
# SCREENSHOT, when given, receives the X screen in the main menu.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
[ $# -ge 2 ] || fail "usage: run-installed.sh GAME DATA-FOLDER [SCREENSHOT.png]"
game=$1 data=${2%/}/ shot=${3:-}
tree=$(cd "$(dirname "$(readlink -f "$game")")/.." && pwd)
for tool in xvfb-run xdotool xprop; do
  command -v "$tool" > /dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
if [ -n "$shot" ]; then command -v import > /dev/null || fail "import (ImageMagick) is missing"; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
listing() { find "$tree" -printf '%p %s %T@ %m\n' | sort; }
listing > "$work/before.txt"

# What runs on the virtual display; its findings go to $work/result.
cat > "$work/session.sh" <<'SESSION'
set -u
game=$1 work=$2 shot=$3
note() { echo "$*" >> "$work/result"; }
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CACHE_HOME=$work/home/cache SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER
mkdir -p "$HOME"
"$game" /LOG > "$work/game.out" 2>&1 &
pid=$!
# The window is shown when loading is done and the first frame is due.
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Kistora 1\.0' 2> /dev/null | head -n 1)
[ -n "$window" ] || { note "no window appeared"; kill "$pid" 2> /dev/null; wait "$pid"; exit 0; }
note "icon $(xprop -id "$window" _NET_WM_ICON | grep -m 1 -o 'Icon ([0-9]* x [0-9]*)')"
note "class $(xprop -id "$window" WM_CLASS)"
timeout 10 xdotool windowfocus --sync "$window" 2> /dev/null
# Escape goes from the splash to the title, from the title to the main menu,
# and only in the main menu does it end the game. Keys are sent until the game
# ends, so one lost on a slow machine does no harm; the third is the first
# that can end it.
escapes=0
while kill -0 "$pid" 2> /dev/null && [ "$escapes" -lt 8 ]; do
  xdotool key Escape
  escapes=$((escapes + 1))
  if [ "$escapes" -eq 2 ] && [ -n "$shot" ]; then sleep 2; import -window root "$shot"; fi
  for _ in $(seq 1 10); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
done
note "escapes $escapes"
if kill -0 "$pid" 2> /dev/null; then note "still running after $escapes Escapes"; kill "$pid"; fi
wait "$pid"
note "exit $?"
SESSION
xvfb-run -a -s "-screen 0 1280x720x24" bash "$work/session.sh" "$game" "$work" "$shot" \
  || fail "xvfb-run failed"

result=$(cat "$work/result" 2> /dev/null)
echo "$result"
grep -q '^icon Icon (64 x 64)$' <<<"$result" || fail "the window has no 64 x 64 icon"
grep -q '^class WM_CLASS(STRING) = "kistora", "kistora"' <<<"$result" \
  || fail "the window class is not the desktop entry's StartupWMClass"
escapes=$(sed -n 's/^escapes //p' <<<"$result")
[ "${escapes:-0}" -ge 3 ] || { cat "$work/game.out" >&2; fail "the game ended before the main menu (after ${escapes:-0} Escapes)"; }
grep -q '^exit 0$' <<<"$result" || { cat "$work/game.out" >&2; fail "the game did not end normally"; }

user="$work/home/data/brindlewood game studio/Kistora"
[ -f "$user/Kistora.prefs" ] || fail "no settings saved in the per-user folder: $(ls -A "$user" 2>&1)"
[ -f "$user/Kistora.scores" ] || fail "no scores saved in the per-user folder"
log=$(ls "$user"/Log\ *.log 2> /dev/null | head -n 1)
[ -n "$log" ] || fail "no log in the per-user folder"
grep -aq $'^GameDir:\t\t'"$data"$'\r$' "$log" || fail "the log does not name $data as the game's folder: $(grep -a '^GameDir' "$log")"
! grep -aq 'FAILED' "$log" || fail "the log reports a failure: $(grep -a FAILED "$log")"

listing > "$work/after.txt"
diff "$work/before.txt" "$work/after.txt" > /dev/null || fail "the game wrote into the installed tree: $(diff "$work/before.txt" "$work/after.txt")"
echo "installed game: window, icon, main menu and a normal end; nothing written into $tree"
