#!/usr/bin/env bash
# Takes the screenshots named in the AppStream metadata with the scripted
# driver, at 1280 x 720 (the game's borderless default on such a desktop),
# into dist/screenshots/. Run it after a build when the look of the game
# changes, and commit the pictures:
#   bash dist/take-screenshots.sh [BUILD-FOLDER]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
out=$here/screenshots
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shoot() { # user-folder script
  "$build/kistora-script" --game-dir "$build/" --user-dir "$1/" --desktop 1280x720 "$2" > /dev/null
}
intro=$'press Escape\npress Escape\nframes 40'

# A first session: the main menu, the settings, then level 1 solved (as in
# tests/script/play_solve_level.sh), back to the menu (Right then Left puts the
# level-complete selection on "Menu" whatever the walk's last key did) and the
# level select moved on to level 2.
mkdir "$work/first"
cat > "$work/first.script" <<SCRIPT
$intro
screenshot $out/main-menu.png
press Down
press Return
frames 40
screenshot $out/settings.png
press Escape
frames 40
press Up
press Return
press Return
down Right
frames 49
up Right
frames 1
down Down
frames 33
up Down
frames 1
down Left
frames 26
up Left
frames 20
press Right
press Left
frames 2
press Return
frames 40
press Return
frames 10
down Right
frames 1
up Right
frames 40
screenshot $out/level-select.png
SCRIPT
shoot "$work/first" "$work/first.script"

# Level 13 in play, reached through a scores file that unlocks it, with the
# worker one step into the room.
mkdir "$work/later"
{
  for level in $(seq 1 60); do
    if [ "$level" -le 13 ]; then printf '0\r\n0\r\n1\r\n'; else printf '0\r\n0\r\n0\r\n'; fi
  done
} > "$work/later/Kistora.scores"
{
  echo "$intro"
  echo "press Return"
  for _ in $(seq 1 12); do printf 'down Right\nframes 1\nup Right\nframes 30\n'; done
  printf 'press Return\nframes 30\ndown Down\nframes 2\nup Down\nframes 40\n'
  echo "screenshot $out/play.png"
} > "$work/later.script"
shoot "$work/later" "$work/later.script"
ls -l "$out"
