#!/usr/bin/env bash
# Plays the shipped levels through the key bindings, in order, from a fresh
# user folder. Each level's answer comes from kistora-solve at run time and
# becomes key presses: a turn (a press) whenever the direction changes, then
# one press held for a frame per cell walked or pushed, and 8 frames for the
# slide. Every level must reach level complete with as many steps as the
# answer has moves; after the last level comes game complete. On the way the
# screen is re-opened once (settings: screen mode) and the language changed
# once, and the run ends with a window close, which saves. A second run then
# finds every played level unlocked with the steps and times of the first.
#
#   playthrough.sh [--levels N] [--desktop WxH] [--wrap "COMMAND ARGS"]
#
# --levels N   play the first N levels only (default: all)
# --wrap CMD   run the game under CMD (for example valgrind)
# Needs KISTORA_SCRIPT, KISTORA_GAME_DIR and KISTORA_SOURCE_DIR (as the
# scripted tests get them); KISTORA_SOLVE names the solver (default: the one
# in KISTORA_GAME_DIR).
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
levels_wanted=all desktop=960x540 wrap=()
while [ $# -gt 0 ]; do
  case $1 in
    --levels) levels_wanted=$2; shift 2 ;;
    --desktop) desktop=$2; shift 2 ;;
    --wrap) read -r -a wrap <<< "$2"; shift 2 ;;
    *) fail "unknown argument $1" ;;
  esac
done
solver=${KISTORA_SOLVE:-$KISTORA_GAME_DIR/kistora-solve}
[ -x "$solver" ] || fail "no solver at $solver"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
user=$work/user
mkdir -p "$user"

# Level names in play order, as the level compiler reads the sources.
sources=("$KISTORA_SOURCE_DIR"/content/levels/levels_*.txt)
mapfile -t names < <(awk '/^Name:/ { print $2 }' "${sources[@]}")
count=${#names[@]}
[ "$count" -gt 0 ] || fail "no levels in the sources"
played=$count
[ "$levels_wanted" = all ] || played=$levels_wanted
[ "$played" -ge 1 ] && [ "$played" -le "$count" ] || fail "--levels $levels_wanted: there are $count levels"

# The answers: those kistora-solve wrote into the game folder when the
# content test ran (when they are newer than every source and complete),
# else from kistora-solve now, two at a time (the machine has two cores).
start=$(date +%s)
answers=$KISTORA_GAME_DIR/levels_solutions.txt
fresh=1
[ -f "$answers" ] || fresh=0
for file in "${sources[@]}"; do [ "$answers" -nt "$file" ] || fresh=0; done
if [ $fresh -eq 1 ]; then
  cp "$answers" "$work/answers.0"
else
  k=0
  for file in "${sources[@]}"; do
    "$solver" "$file" > "$work/answers.$k" 2>/dev/null &
    k=$((k + 1))
    [ $((k % 2)) -ne 0 ] || wait
  done
  wait
fi
declare -A answer
read_answers() {
  answer=()
  while read -r name verdict rest; do
    [ "$verdict" = solved ] || continue
    answer[$name]=$(sed -n 's/.*lurd=\([lurdLURD]*\).*/\1/p' <<< "$rest")
  done < <(cat "$work"/answers.*)
}
read_answers
for ((i = 0; i < played; i++)); do
  if [ -z "${answer[${names[$i]}]:-}" ] && [ $fresh -eq 1 ]; then
    # An older or partial file: solve after all.
    fresh=0
    rm -f "$work"/answers.*
    k=0
    for file in "${sources[@]}"; do "$solver" "$file" > "$work/answers.$k" 2>/dev/null; k=$((k + 1)); done
    read_answers
  fi
  [ -n "${answer[${names[$i]}]:-}" ] || fail "kistora-solve gave no answer for level ${names[$i]}"
done
echo "answers for $count levels in $(( $(date +%s) - start )) s"

# Key presses for one answer; the worker faces nowhere when a level starts.
moves() { # lurd
  local s=$1 facing=None i c d
  for ((i = 0; i < ${#s}; i++)); do
    c=${s:i:1}
    case $c in l|L) d=Left ;; r|R) d=Right ;; u|U) d=Up ;; d|D) d=Down ;; esac
    if [ "$d" != "$facing" ]; then echo "press $d"; facing=$d; fi
    printf 'down %s\nframes 1\nup %s\nframes 8\n' "$d" "$d"
  done
}

# Settings from the in-game menu: open them, run the given keys, apply.
settings() { # keys...
  printf 'press Escape\nframes 10\nexpect GameState 8\npress Down\npress Down\npress Return\nframes 10\nexpect GameState 9\n'
  local key
  for key in "$@"; do echo "press $key"; done
  printf 'expect SettingsRow 5\npress Return\nframes 5\nexpect GameState 8\nstate\npress Escape\nframes 2\nexpect GameState 7\n'
}

# The first run: main menu, level select, then every level in turn.
{
  printf 'press Escape\npress Escape\nframes 5\nexpect GameState 2\npress Return\nframes 20\nexpect GameState 3\n'
  printf 'expect LevelCount %s\nexpect SelectedLevel 0\npress Return\nframes 2\n' "$count"
  for ((i = 0; i < played; i++)); do
    name=${names[$i]}
    printf 'expect GameState 7\nexpect CurrentLevelName %s\nexpect StepCount 0\n' "$name"
    # Level 1: borderless to windowed, a screen re-open (rows: language,
    # music, screen mode, resolution, OK). Level 2: the next language.
    if [ $i -eq 0 ]; then settings Down Down Left Down Down; echo "expect GameScreen 1"; fi
    if [ $i -eq 1 ]; then settings Right Down Down Down Down; fi
    moves "${answer[$name]}"
    printf 'frames 3\nexpect GameState 11\nexpect StepCount %s\n' "${#answer[$name]}"
    printf 'frames 10\nexpect LevelCompleteSelection 3\n'
    if [ $((i + 1)) -lt "$played" ]; then
      printf 'press Return\nframes 2\n'
    elif [ "$played" -eq "$count" ]; then
      printf 'press Return\nframes 5\nexpect GameState 12\nframes 10\npress Escape\nframes 5\nexpect GameState 2\n'
    else
      printf 'press Escape\nframes 5\nexpect GameState 2\n'
    fi
  done
  # The window closes: the game saves and ends. A script that ran on would
  # fail here, since no state follows the end.
  printf 'state\nclose\nframes 3\nexpect GameState -1\n'
} > "$work/first.script"

start=$(date +%s)
"${wrap[@]}" "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$user/" --desktop "$desktop" \
  "$work/first.script" > "$work/first.out" 2> "$work/first.err"
status=$?
first_seconds=$(( $(date +%s) - start ))
[ $status -eq 0 ] || { tail -n 20 "$work/first.err" >&2; fail "the first run ended with status $status"; }
grep -q '"Language": "en_GB"' "$work/first.out" || fail "the game did not start in en_GB"
changed=$(grep -o '"Language": "[^"]*"' "$work/first.out" | sort -u | wc -l)
[ "$changed" -ge 2 ] || fail "the language did not change"
echo "first run: $played levels played in $first_seconds s"

# The scores file: three lines per level; the played ones with their steps,
# a time and unlocked, the next one unlocked, the rest untouched.
scores=$user/Kistora.scores
[ -f "$scores" ] || fail "no scores file after the window close"
[ "$(wc -l < "$scores")" -eq $((3 * count)) ] || fail "the scores file has not 3 lines for each of $count levels"
mapfile -t lines < <(tr -d '\r' < "$scores")
unlocked=
for ((i = 0; i < count; i++)); do
  t=${lines[$((3 * i))]} s=${lines[$((3 * i + 1))]} u=${lines[$((3 * i + 2))]}
  if [ $i -lt "$played" ]; then
    [ "$s" = "${#answer[${names[$i]}]}" ] || fail "level ${names[$i]}: $s steps stored, the answer has ${#answer[${names[$i]}]}"
    [ "$t" -gt 0 ] || fail "level ${names[$i]}: no time stored"
  fi
  if [ $i -le "$played" ]; then want=1; else want=0; fi
  [ "$u" = "$want" ] || fail "level ${names[$i]}: unlocked $u, not $want"
  unlocked+=$want
done

# The second run: the level select shows every played level unlocked with
# the steps and time of the first run, from the last level played back to 1.
cp "$scores" "$work/scores.first"
{
  printf 'press Escape\npress Escape\nframes 5\npress Return\nframes 20\nexpect GameState 3\n'
  printf 'expect Unlocked %s\n' "$unlocked"
  for ((i = played - 1; i >= 0; i--)); do
    printf 'expect SelectedLevel %s\nexpect SelectedSteps %s\nexpect SelectedTimeMs %s\n' \
      "$i" "${lines[$((3 * i + 1))]}" "${lines[$((3 * i))]}"
    [ $i -eq 0 ] || printf 'press Left\nframes 20\n'
  done
  printf 'press Escape\nframes 5\nexpect GameState 2\nclose\nframes 3\nexpect GameState -1\n'
} > "$work/second.script"
start=$(date +%s)
"${wrap[@]}" "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$user/" --desktop "$desktop" \
  "$work/second.script" > "$work/second.out" 2> "$work/second.err"
status=$?
[ $status -eq 0 ] || { tail -n 20 "$work/second.err" >&2; fail "the second run ended with status $status"; }
cmp -s "$scores" "$work/scores.first" || fail "the second run changed the scores"
echo "second run: every level checked in $(( $(date +%s) - start )) s"
exit 0
