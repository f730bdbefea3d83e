#!/usr/bin/env bash
# kistora-import end to end. The sample collections become a portable folder
# with exactly the game, its assets, a level archive of the seven playable
# levels, the five languages plus the titles and a preferences file; its first
# level is played through with the headless driver, and the copied executable
# itself starts in portable mode, leaving the user's own folder untouched.
# Untitled levels are named after their collection and number (or --title's word); --prove
# and --require-proof drop an unsolvable level; two imports of one input are
# byte-identical. Broken input (text, binary junk, 30 MB, an existing folder,
# missing game data) ends with status 1 and leaves neither the folder nor a
# temporary folder behind.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
import=$KISTORA_BUILD_DIR/kistora-import
samples=$KISTORA_SOURCE_DIR/content/collections
data=$KISTORA_GAME_DIR
[ -x "$import" ] || fail "kistora-import is not built"
export LC_ALL=C
unset LANG LC_MESSAGES

# The imported folders go into $games; leftovers lists what is there besides the named ones.
games=$work/games
leftovers() { ls -A "$games" | grep -v -x -e none "$@"; }
mkdir -p "$work/user" "$work/home" "$work/input" "$games"

# --- the sample collections ---------------------------------------------------
"$import" "$samples/harbour.sok" "$samples/attic.xsb" -o "$games/pack" --data "$data" > "$work/out" 2> "$work/err" ||
  { cat "$work/out" "$work/err"; fail "the sample import failed"; }
grep -q -F 'level 2 "The Big Shelf": skipped: it has 13 crates; Kistora plays levels of 1 to 12' "$work/out" ||
  { cat "$work/out"; fail "the 13-crate level is not listed as skipped"; }
grep -q -F 'level 3 "Chimney": turned a quarter to fit the field' "$work/out" || fail "the tall level was not turned"
grep -q "^7 levels in $games/pack" "$work/out" || { cat "$work/out"; fail "not 7 levels"; }
[ "$(ls -A "$games/pack" | tr '\n' ' ')" = "Kistora.data Kistora.languages Kistora.maps Kistora.prefs kistora " ] ||
  fail "the folder holds: $(ls -A "$games/pack" | tr '\n' ' ')"
[ -z "$(leftovers -e pack)" ] || fail "left behind: $(leftovers -e pack)"
cmp -s "$games/pack/Kistora.data" "$data/Kistora.data" || fail "Kistora.data is not the game's"
cmp -s "$games/pack/kistora" "$KISTORA_BUILD_DIR/kistora" || fail "the executable is not the game's"
[ -x "$games/pack/kistora" ] || fail "the copied game is not executable"
printf '\xef\xbb\xbf\r\n; Kistora 1.0 Preferences\r\n[Settings]\r\nLanguage = en_GB\r\nMusic = 1\r\nGameScreen = 2\r\nResolution = 1\r\nGamepad = 0\r\nPad = 0\r\nButton = 0\r\nLastPlayed = 0\r\n' |
  cmp -s - "$games/pack/Kistora.prefs" || fail "Kistora.prefs is not the game's first-run preferences"

# --- the same input twice: the same bytes --------------------------------------
# From the build folder, where the tool, the game and its archives lie together,
# the defaults find them; elsewhere (the sanitizer build) --data names them.
defaults=(--data "$data")
[ -f "$KISTORA_BUILD_DIR/Kistora.data" ] && defaults=()
"$import" "$samples/harbour.sok" "$samples/attic.xsb" -o "$games/again" "${defaults[@]}" > /dev/null 2>&1 ||
  fail "the second import failed"
for f in kistora Kistora.data Kistora.maps Kistora.languages Kistora.prefs; do
  cmp -s "$games/again/$f" "$games/pack/$f" || fail "$f differs between two imports"
done
[ "$(ls -A "$games/again" | wc -l)" = 5 ] || fail "the second import made other files: $(ls -A "$games/again")"
rm -rf "$games/again"

# Every shipped language file is whole, followed by the seven titles.
python3 - "$games/pack/Kistora.languages" "$KISTORA_SOURCE_DIR/content/languages" <<'P' || fail "the language files are wrong"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
want = ['Slipway', 'Two Bollards', 'Net Loft', 'Crane Yard', 'Dry Dock', 'Caf\u00e9 Corner', 'Chimney']
names = sorted(z.namelist())
codes = ['de_DE', 'en_GB', 'es_ES', 'fr_FR', 'it_IT']
assert [n for n in names if n.endswith('.language')] == [c + '.language' for c in codes], names
assert [n for n in names if n.endswith('.flag')] == [c + '.flag' for c in codes], names
for code in codes:
    text = z.read(code + '.language')
    shipped = open(sys.argv[2] + '/' + code + '.language', 'rb').read()
    assert text.startswith(shipped), code + ': the shipped text is not kept whole'
    added = text[len(shipped):].decode('utf-8').split('\r\n')
    titles = [line for line in added if line.startswith('tPackLEVEL')]
    assert titles == ['tPackLEVEL%02d = %s' % (k + 1, t) for k, t in enumerate(want)], (code, titles)
P

# Played through its first level with the driver: "Slipway" is 7 x 5, centred at
# (11, 5); the worker walks right three cells and pushes the crate down once.
move() { printf 'down %s\nframes 2\nup %s\nframes 10\n' "$1" "$1"; }
{
  printf 'press Escape\npress Escape\nframes 5\npress Return\nexpect GameState 3\nexpect LevelCount 7\n'
  printf 'expect Unlocked 1000000\npress Return\nexpect GameState 7\nexpect CurrentLevelName 01\n'
  printf 'expect WorkerX 12\nexpect WorkerY 6\n'
  move Right; move Right; move Right
  printf 'expect WorkerX 15\nexpect CratesOnTargets 0\n'
  move Down
  printf 'expect GameState 11\nexpect StepCount 4\nexpect CratesOnTargets 1\nexpect Unlocked 1100000\n'
  printf 'press Escape\nexpect GameState 2\npress Escape\nframes 5\n'
} > "$work/play.script"
"$KISTORA_SCRIPT" --game-dir "$games/pack/" --user-dir "$work/user/" "$work/play.script" > "$work/play.out" 2>&1 ||
  { cat "$work/play.out"; fail "the first level was not played through"; }
[ -f "$games/pack/Kistora.scores" ] || fail "the progress was not written into the folder"
[ "$(sed -n 2p "$games/pack/Kistora.scores" | tr -d '\r')" = 4 ] || fail "the stored steps are not 4"
[ -z "$(ls -A "$work/user")" ] || fail "the user's folder was written: $(ls -A "$work/user")"

# The copy itself: started from the folder it finds its files and preferences
# there; SDL turns SIGTERM into a quit, so it shuts down normally and saves there.
HOME=$work/home XDG_DATA_HOME=$work/home/data SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
  "$games/pack/kistora" /LOG > /dev/null 2>&1 &
game=$!
# The log is opened after the platform (and SDL's signal handling) has started.
for _ in $(seq 1 300); do
  ls "$games/pack/"Log*.log > /dev/null 2>&1 && break
  sleep 0.1
done
kill -TERM $game
wait $game || fail "the copied game did not end normally (status $?)"
grep -q "GameDir:.*$games/pack/" "$games/pack/"Log*.log || fail "the copied game did not run from its folder"
grep -q "SaveTo:.*$games/pack/" "$games/pack/"Log*.log || fail "the copied game does not save into its folder"
grep -q 'Load language (en_GB):.*OK' "$games/pack/"Log*.log || fail "the copied game did not load its language"
[ -z "$(find "$work/home" -mindepth 1)" ] || fail "the copied game wrote into the user's folder"
rm -f "$games/pack/"Log*.log

# --- untitled levels, several collections in order, --title, the locale -------
printf '#####\n#@$.#\n#####\n\n#####\n#.$@#\n#####\n' > "$work/input/plain.txt"
printf 'Title: Last\n\n######\n#@ $.#\n######\n' > "$work/input/last.txt"
# A header naming the collection; its levels are titled only by their numbers.
printf 'Dockside\nAuthor: someone\n\nTitle: 1\n#####\n#@$.#\n#####\n\n; 2\n######\n#@ $.#\n######\n' \
  > "$work/input/numbered.sok"
"$import" "$work/input/plain.txt" "$work/input/numbered.sok" -o "$games/plain" --data "$data" > /dev/null 2>&1 \
  || fail "an untitled import failed"
LC_ALL=fr_FR.UTF-8 "$import" "$work/input/plain.txt" "$work/input/last.txt" -o "$games/titled" --title "Pier" \
  --data "$data" > /dev/null 2>&1 || fail "an import with --title failed"
grep -q -F 'Language = fr_FR' "$games/titled/Kistora.prefs" || fail "the user's locale did not choose the language"
# A locale the game has no file for starts in English, as the game itself would.
LC_ALL=de_AT.UTF-8 "$import" "$work/input/plain.txt" -o "$games/austrian" --data "$data" > /dev/null 2>&1 ||
  fail "an import under de_AT failed"
grep -q -F 'Language = en_GB' "$games/austrian/Kistora.prefs" || fail "de_AT did not fall back to en_GB like the game"
rm -rf "$games/austrian"
python3 - "$games/plain/Kistora.languages" "$games/titled/Kistora.languages" <<'P' || fail "untitled levels are not named"
import sys, zipfile
def titles(path, code):
    text = zipfile.ZipFile(path).read(code + '.language').decode('utf-8')
    return [l.split(' = ', 1)[1] for l in text.split('\r\n') if l.startswith('tPackLEVEL')]
# Named after the collection (its header's title, else its file name) and the
# number it gives, in every language: never "Level 1" under the card's own
# "Level 1".
for code in ('en_GB', 'de_DE', 'fr_FR', 'es_ES', 'it_IT'):
    assert titles(sys.argv[1], code) == ['plain 1', 'plain 2', 'Dockside 1', 'Dockside 2'], (code, titles(sys.argv[1], code))
    assert titles(sys.argv[2], code) == ['Pier 1', 'Pier 2', 'Last'], (code, titles(sys.argv[2], code))
P
rm -rf "$games/plain" "$games/titled"

# --- proofs: the crate in the corner has no solution ---------------------------
printf 'Title: Corner\n\n######\n#@  .#\n#$   #\n######\n\nTitle: Easy\n\n#####\n#@$.#\n#####\n' > "$work/input/proof.txt"
"$import" "$work/input/proof.txt" -o "$games/proved" --prove 5 --require-proof --data "$data" > "$work/out" 2>&1 ||
  { cat "$work/out"; fail "the proved import failed"; }
grep -q -F 'level 1 "Corner": skipped: it has no solution' "$work/out" || { cat "$work/out"; fail "the unsolvable level was kept"; }
grep -q -F 'level 2 "Easy": solved in 1 push' "$work/out" || { cat "$work/out"; fail "the easy level was not proved"; }
grep -q '^1 level in' "$work/out" || fail "not one level kept"
rm -rf "$games/proved"

# --- broken input: status 1, no folder, no temporary folder --------------------
yes 'A line of text in a 30 MB file, and no level in it.' | head -c 30000000 > "$work/input/huge.txt"
: > "$work/input/empty.txt"
for bad in "$KISTORA_SOURCE_DIR/README.md" "$KISTORA_BUILD_DIR/kistora-import" "$work/input/huge.txt" "$work/input/empty.txt"; do
  "$import" "$bad" -o "$games/broken" --data "$data" > "$work/out" 2> "$work/err"
  status=$?
  [ $status -eq 1 ] || fail "$(basename "$bad"): status $status, expected 1"
  grep -q 'no level left to import' "$work/err" || { cat "$work/err"; fail "$(basename "$bad"): no clear message"; }
  [ -z "$(leftovers -e pack)" ] || fail "$(basename "$bad") left behind: $(leftovers -e pack)"
done
rm -f "$work/input/huge.txt"

# An existing folder is never replaced (it holds the progress made in it).
"$import" "$samples/harbour.sok" -o "$games/pack" --data "$data" > /dev/null 2> "$work/err" && fail "an existing folder was replaced"
grep -q 'exists already' "$work/err" || { cat "$work/err"; fail "no message for an existing folder"; }
[ -f "$games/pack/Kistora.scores" ] || fail "the existing folder lost its progress"
# No game data where --data points; a collection that does not exist.
"$import" "$samples/harbour.sok" -o "$games/broken" --data "$work/input" > /dev/null 2> "$work/err" && fail "missing data accepted"
grep -q 'no Kistora.data in' "$work/err" || { cat "$work/err"; fail "no message for missing data"; }
"$import" "$work/input/none.sok" -o "$games/broken" --data "$data" > /dev/null 2> "$work/err" && fail "a missing collection accepted"
grep -q 'none.sok: cannot be opened' "$work/err" || { cat "$work/err"; fail "no message for a missing collection"; }
[ -z "$(leftovers -e pack)" ] || fail "left behind: $(leftovers -e pack)"
exit 0
