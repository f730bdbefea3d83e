#!/usr/bin/env bash
# S writes the back buffer as "Kistora DD-MM-YYYY HH-II-SS.png" into the folder
# everything is saved to: a real PNG of the screen's size, logged as OK; also
# in the settings, where M does nothing.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/user"
printf 'press Escape\npress Escape\nframes 5\npress S\nframes 2\npress Down\npress Return\nframes 5\npress S\nexpect GameState 5\n' \
  > "$work/run.script"
before=$(date +%s)
"$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$work/user/" --desktop 1600x900 "$work/run.script" -- /LOG \
  > "$work/out.txt" 2> "$work/err.txt" || { cat "$work/err.txt" >&2; fail "driver failed"; }
after=$(date +%s)
shots=$(ls "$work/user" | grep -c '^Kistora .*\.png$')
[ "$shots" -ge 1 ] || fail "no screenshot in the user folder: $(ls "$work/user")"
for shot in "$work/user"/Kistora\ *.png; do
  name=$(basename "$shot")
  [[ "$name" =~ ^Kistora\ ([0-9]{2})-([0-9]{2})-([0-9]{4})\ ([0-9]{2})-([0-9]{2})-([0-9]{2})\.png$ ]] \
    || fail "screenshot name '$name' is not 'Kistora DD-MM-YYYY HH-II-SS.png'"
  stamp="${BASH_REMATCH[3]}-${BASH_REMATCH[2]}-${BASH_REMATCH[1]} ${BASH_REMATCH[4]}:${BASH_REMATCH[5]}:${BASH_REMATCH[6]}"
  when=$(date -d "$stamp" +%s) || fail "screenshot name holds no valid date: $name"
  [ "$when" -ge $((before - 1)) ] && [ "$when" -le $((after + 1)) ] || fail "screenshot time $stamp is not the local time now"
  [ "$(head -c 8 "$shot" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$name is not a PNG"
  # IHDR: width and height big-endian at bytes 16 to 23.
  [ "$(od -An -tx1 -j16 -N8 "$shot" | tr -d ' \n')" = 0000064000000384 ] || fail "$name is not 1600 x 900"
done
log=$(ls "$work/user"/Log\ *.log | head -n 1)
n=$(grep -ac $'^Saving screenshot:\t\tOK\r$' "$log")
[ "$n" -eq 2 ] || fail "expected two 'Saving screenshot: OK' lines, found $n"
# No temporary file is left beside the pictures.
[ "$(ls -A "$work/user" | grep -vc -e '^Kistora .*\.png$' -e '^Log .*\.log$')" -eq 0 ] \
  || fail "stray files in the user folder: $(ls -A "$work/user")"

# A folder that cannot take the file: the failure is logged, the game goes on.
mkdir -p "$work/ro/game"
cp "$KISTORA_GAME_DIR"/Kistora.data "$KISTORA_GAME_DIR"/Kistora.maps "$work/ro/game/"
cp -r "$KISTORA_GAME_DIR"/Kistora.languages "$work/ro/game/"
printf 'press S\nframes 2\nexpect GameState 0\n' > "$work/ro.script"
"$KISTORA_SCRIPT" --game-dir "$work/ro/game/" --user-dir "/proc/kistora-nowhere/" "$work/ro.script" > /dev/null 2> "$work/ro.err" \
  || { cat "$work/ro.err" >&2; fail "an unwritable folder stopped the game"; }
echo "screenshot: all checks passed"
