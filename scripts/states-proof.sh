#!/usr/bin/env bash
# Proof that a change keeps what the player sees and what the game writes:
# one driver script through every screen state at several desktop sizes, with
# a screenshot of each state, the log (its dates and folders blanked) and the
# preferences and scores files it leaves.
#
#   bash scripts/states-proof.sh OUT [BUILD]     write the proof of BUILD (default build/) into OUT
#   bash scripts/states-proof.sh --compare A B   1 when the two proofs differ, and which files
#
# Take one proof before the change and one after; --compare must then find no
# difference.
set -u
if [ "${1:-}" = "--compare" ]; then
  [ $# -eq 3 ] || { echo "usage: states-proof.sh --compare A B" >&2; exit 2; }
  status=0
  while IFS= read -r name; do
    if [ ! -f "$3/$name" ]; then echo "only in $2: $name"; status=1
    elif ! cmp -s "$2/$name" "$3/$name"; then echo "differs: $name"; status=1; fi
  done < <(cd "$2" && find . -type f | sort)
  while IFS= read -r name; do
    [ -f "$2/$name" ] || { echo "only in $3: $name"; status=1; }
  done < <(cd "$3" && find . -type f | sort)
  [ $status -eq 0 ] && echo "no difference: $(cd "$2" && find . -type f | wc -l) files"
  exit $status
fi
[ $# -ge 1 ] || { echo "usage: states-proof.sh OUT [BUILD]" >&2; exit 2; }
out=$1
build=$(cd "${2:-$(dirname "$0")/../build}" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "states-proof: $*" >&2; exit 1; }

# Level 1's answer, as the player's keys: every move is a held key released
# after its slide.
moves() { # moves "rrrd..."
  local m
  for ((i = 0; i < ${#1}; i++)); do
    case ${1:i:1} in
      l|L) m=Left ;; r|R) m=Right ;; u|U) m=Up ;; d|D) m=Down ;;
    esac
    printf 'press %s\npress %s\nframes 9\n' "$m" "$m"
  done
}

tidy_log() { # blank what changes from run to run: dates, times, folders, machine
  sed -E -e 's/[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}-[0-9]{2}-[0-9]{2}/DATE/g' \
    -e "s#$work#WORK#g" -e 's/^(CPU Name|Free physical memory|Total physical memory|Operating system|GameDir):\t\t.*/\1:\t\tX/' \
    -e 's/^[0-9]{4}-[0-9]{2}-[0-9]{2}--[0-9]{2}-[0-9]{2}-[0-9]{2}/DATE/' "$1"
}

run() { # name size script-body [user-dir-init]
  local name=$1 size=$2 body=$3
  local user="$work/$name/user"
  mkdir -p "$user" "$out/$name"
  printf '%s\n' "$body" | sed "s#@SHOT@#$out/$name#g" > "$work/$name/run.script"
  "$build/kistora-script" --game-dir "${GAME:-$build}/" --user-dir "$user/" --desktop "$size" \
    "$work/$name/run.script" -- /LOG > "$work/$name/out.txt" 2> "$work/$name/err.txt" \
    || { cat "$work/$name/err.txt" >&2; fail "$name: driver failed"; }
  for f in Kistora.prefs Kistora.scores; do [ -f "$user/$f" ] && cp "$user/$f" "$out/$name/$f"; done
  for log in "$user"/Log\ *.log; do [ -f "$log" ] && tidy_log "$log" > "$out/$name/log.txt"; done
  grep -v '^frame\|Ms\b' "$work/$name/out.txt" > "$out/$name/driver.txt" || true
}

level1=$(grep '^01 ' "$(dirname "$0")/../content/levels/solutions.txt" | cut -d' ' -f2)
[ -n "$level1" ] || fail "no answer for level 01"
for size in 1024x576 1920x1080 3840x2160 1366x768; do
  s=${size/x/_}
  run "states_$s" "$size" "frames 3
screenshot @SHOT@/00_logo.png
press Space
frames 3
expect GameState 1
screenshot @SHOT@/01_title.png
press Space
frames 8
expect GameState 2
screenshot @SHOT@/02_main_menu.png
press Down
press Return
frames 8
expect GameState 5
screenshot @SHOT@/05_settings.png
press Down
press Right
frames 2
screenshot @SHOT@/05_settings_changed.png
press Escape
frames 8
expect GameState 2
press Down
press Return
frames 8
expect GameState 4
screenshot @SHOT@/04_credits.png
press Escape
frames 8
press Down
press Down
press Return
frames 8
expect GameState 6
screenshot @SHOT@/06_quit_question.png
press Escape
frames 8
press Up
press Up
press Up
press Return
frames 30
expect GameState 3
screenshot @SHOT@/03_level_select.png
press Right
frames 4
screenshot @SHOT@/03_level_select_sliding.png
frames 30
press Left
frames 30
press Return
frames 3
expect GameState 7
screenshot @SHOT@/07_playing.png
press Right
press Right
frames 4
screenshot @SHOT@/07_playing_sliding.png
frames 6
press Escape
frames 8
expect GameState 8
screenshot @SHOT@/08_in_game_menu.png
press Down
press Down
press Return
frames 8
expect GameState 9
screenshot @SHOT@/09_in_game_settings.png
press Escape
frames 8
press Down
press Return
frames 8
expect GameState 10
screenshot @SHOT@/10_in_game_quit.png
press Escape
frames 8
expect GameState 8
press Up
press Up
press Up
press Down
press Return
frames 3
expect GameState 7
expect StepCount 0
screenshot @SHOT@/07_restarted.png
$(moves "$level1")
frames 10
expect GameState 11
screenshot @SHOT@/11_level_complete.png
state
press Escape
frames 8
expect GameState 2
press Return
frames 30
expect GameState 3
screenshot @SHOT@/03_level_select_after.png
press Escape
frames 8
expect GameState 2
press Down
press Down
press Down
press Return
frames 8
expect GameState 6
press Left
press Return
frames 3"
done

# The game-complete panel: a two-level archive whose last level is one push.
game="$work/short"
mkdir -p "$game"
cp "$build/Kistora.data" "$game/"
cp -r "$build/Kistora.languages" "$game/"
printf 'Name: 01\nTitle: tLevel001\n#####\n#@$.#\n#####\n\nName: 02\nTitle: tLevel002\n######\n#@ $.#\n######\n' \
  > "$work/levels.txt"
"$build/kistora-levelc" --out "$game/Kistora.maps" --placeholder-tiles "$work/levels.txt" > /dev/null \
  || fail "the two-level archive did not compile"
for size in 1024x576 1920x1080; do
  s=${size/x/_}
  mkdir -p "$work/complete_$s/user"
  printf '\xef\xbb\xbf[Settings]\r\nLastPlayed = 1\r\n' > "$work/complete_$s/user/Kistora.prefs"
  printf '0\r\n0\r\n1\r\n0\r\n0\r\n1\r\n' > "$work/complete_$s/user/Kistora.scores"
  GAME=$game run "complete_$s" "$size" "press Escape
press Escape
frames 5
press Return
frames 20
press Return
press Right
press Right
frames 9
press Right
frames 10
press Return
frames 8
expect GameState 12
screenshot @SHOT@/12_game_complete.png
press Return
frames 8
press Escape"
done
echo "states-proof: $(find "$out" -type f | wc -l) files in $out"
