#!/usr/bin/env bash
# The game killed (SIGKILL) in the middle of its saves: the preferences and
# the scores are each either the complete old file or the complete new one,
# never a mix, and the game starts with either. With --slow-saves every step
# of a save (create, each 16-byte write, sync, folder sync, rename) is
# followed by a pause and a "save-step" line; each trial kills the game in
# the pause after one step, or after the save has ended. The steps killed at
# are spread evenly over the whole save (one random step from each of
# KISTORA_KILL_TRIALS equal slices of it, the first and the last trial at the
# very start and after the end), for each file in turn:
# KISTORA_KILL_TRIALS is 40 by default, 10 in the sanitizer build, and
# scripts/long-tests.sh runs 200.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
trials=${KISTORA_KILL_TRIALS:-40}
# The sanitizer build adds nothing to what the file system does: a few trials.
if grep -q '^KISTORA_SANITIZE:BOOL=ON' "${KISTORA_BUILD_DIR:-}/CMakeCache.txt" 2>/dev/null; then
  trials=${KISTORA_KILL_TRIALS:-10}
fi
delay_ms=5
work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
user=$work/user
mkdir -p "$user"
mkfifo "$work/saves"

# The old files: valid but not as the game writes them (LF line ends, no
# byte-order mark, a short scores file), with music off.
printf '[Settings]\nLanguage = en_GB\nMusic = 0\nGameScreen = 2\nResolution = 1\nLastPlayed = 1\n' > "$work/old.prefs"
printf '61000\n77\n1\n0\n0\n1\n' > "$work/old.scores"
reset_files() { cp "$work/old.prefs" "$user/Kistora.prefs"; cp "$work/old.scores" "$user/Kistora.scores"; }

# Music on, then the window is closed: the game saves both files and ends.
printf 'frames 3\npress M\nclose\nframes 3\n' > "$work/save.script"

# One run of the saving script. $1 names the file whose save is the target;
# with $2 = k > 0 the game is killed after the k-th step of that save (a k
# past the last step: at its end). Without $2 it runs to its end and STEPS
# counts the target's steps.
run_and_kill() {
  local target=$1 kill_at=${2:-0} line step=0
  "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$user/" --desktop 640x360 \
    --slow-saves $delay_ms "$work/save.script" > /dev/null 2> "$work/saves" &
  pid=$!
  while IFS= read -r line; do
    if [ "$line" = "save-step $user/$target" ]; then
      step=$((step + 1))
      if [ "$step" -eq "$kill_at" ]; then kill -9 "$pid" 2>/dev/null; break; fi
    fi
    if [ "$line" = "save-end $user/$target" ] && [ "$kill_at" -gt 0 ]; then
      kill -9 "$pid" 2>/dev/null
      break
    fi
  done < "$work/saves"
  wait "$pid" 2>/dev/null
  STATUS=$?
  STEPS=$step
  pid=
}

# The new files, and how many steps each save has, from runs not killed.
declare -A steps
for file in Kistora.prefs Kistora.scores; do
  reset_files
  run_and_kill "$file"
  [ "$STATUS" -eq 0 ] || fail "the saving run ended with status $STATUS"
  [ "$STEPS" -gt 3 ] || fail "the save of $file reported only $STEPS steps"
  steps[$file]=$STEPS
done
cp "$user/Kistora.prefs" "$work/new.prefs"
cp "$user/Kistora.scores" "$work/new.scores"
cmp -s "$work/old.prefs" "$work/new.prefs" && fail "the run did not change the preferences"
cmp -s "$work/old.scores" "$work/new.scores" && fail "the run did not change the scores"
echo "steps of each save: prefs ${steps[Kistora.prefs]}, scores ${steps[Kistora.scores]}"

# Which of the two a file is: old, new, or anything else.
version() { # name
  if cmp -s "$user/$1" "$work/old.${1#Kistora.}"; then echo old
  elif cmp -s "$user/$1" "$work/new.${1#Kistora.}"; then echo new
  else echo broken; fi
}

for file in Kistora.prefs Kistora.scores; do
  declare -A seen=([old]=0 [new]=0)
  # Kill points 1 .. steps + 1 (the last: after the save ended).
  points=$((steps[$file] + 1))
  for ((t = 0; t < trials; t++)); do
    reset_files
    kill_at=$(( 1 + (t * points + RANDOM % points) / trials ))
    # The first trial kills after the very first step, the last one after the end.
    [ "$t" -gt 0 ] || kill_at=1
    [ "$t" -lt $((trials - 1)) ] || kill_at=$points
    run_and_kill "$file" "$kill_at"
    for name in Kistora.prefs Kistora.scores; do
      v=$(version "$name")
      [ "$v" != broken ] || fail "trial $t on $file (killed after step $kill_at): $name is neither the old nor the new file"
    done
    v=$(version "$file")
    seen[$v]=$((seen[$v] + 1))
    # An unfinished save leaves at most its temporary file, which no reader
    # looks at.
    for left in "$user"/*; do
      case $(basename "$left") in
        Kistora.prefs|Kistora.scores) ;;
        Kistora.prefs.??????|Kistora.scores.??????) rm -f "$left" ;;
        *) fail "trial $t left $(basename "$left")" ;;
      esac
    done
  done
  echo "$file: $trials kills, old file ${seen[old]} times, new file ${seen[new]} times"
  [ "${seen[old]}" -gt 0 ] && [ "${seen[new]}" -gt 0 ] || fail "the kills did not spread over the save of $file"
done

# The game starts with each version of each file: the settings and the
# progress it reads are those the file holds.
check_start() { # prefs-version scores-version music unlocked steps
  cp "$work/$1.prefs" "$user/Kistora.prefs"
  cp "$work/$2.scores" "$user/Kistora.scores"
  printf 'frames 2\nexpect MusicOn %s\npress Escape\npress Escape\nframes 5\npress Return\nexpect GameState 3\npress Left\nframes 20\nexpect SelectedLevel 0\nexpect SelectedSteps %s\nstate\n' \
    "$3" "$5" > "$work/start.script"
  "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$user/" --desktop 640x360 "$work/start.script" \
    > "$work/start.out" 2> "$work/start.err" || { cat "$work/start.err" >&2; fail "the game did not start with $1 prefs and $2 scores"; }
  grep -q "\"Unlocked\": \"$4" "$work/start.out" || fail "$2 scores: levels unlocked are not $4..."
}
check_start old old 0 110 77
check_start new new 1 110 77
echo "the game starts with the old and with the new files"
exit 0
