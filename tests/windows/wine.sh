#!/usr/bin/env bash
# The Windows build under Wine (scripts/test.sh runs it after scripts/windows.sh):
#
#   bash tests/windows/wine.sh
#
# 1. the GoogleTest suites built for Windows (kistora_tests.exe, kistora_rules_tests.exe);
# 2. the Windows driver plays level 1 through its keys into a user folder named "Zoë", and
#    leaves Kistora.prefs and Kistora.scores byte for byte as the Linux driver does; under a
#    German locale and without a named user folder it speaks German and keeps its folder in
#    the roaming application data;
# 3. the portable game in a real window under Wine (Direct3D 11 on Mesa) against the Linux
#    game's software screens (tests/window/renderers.sh);
# 4. the installer's round trip (tests/windows/installer.sh).
#
# Needs build/ (the Linux build, with its tests) and build-windows/ (scripts/windows.sh), wine64,
# Xvfb and xdotool. A private Wine prefix in a temporary folder; nothing is left behind.
set -u
cd "$(dirname "$0")/../.."
root=$PWD
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { printf -- '--- %s (%s)\n' "$1" "$(date +%H:%M:%S)"; }
export PATH=/usr/lib/wine:$PATH
for tool in wine64 wineserver Xvfb xdotool; do
  command -v "$tool" > /dev/null || fail "$tool is missing"
done
win=$root/build-windows linux=$root/build
for file in "$win/kistora.exe" "$win/kistora-script.exe" "$win/kistora_tests.exe" "$linux/kistora-script" \
  "$linux/kistora_tests"; do
  [ -f "$file" ] || fail "$file is missing (scripts/build.sh, scripts/windows.sh)"
done
work=$(mktemp -d)
# Wine keeps its server's socket in a folder of the temporary folder: ours.
mkdir -p "$work/tmp"
export TMPDIR=$work/tmp
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
started=$(date +%s)
# A Unix path as the Windows programs see it (Wine's drive Z: is the root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

step "Wine prefix"
wine64 wineboot -i > "$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; fail "wineboot"; }

step "unit tests under Wine"
for suite in kistora_tests kistora_rules_tests; do
  (cd "$win" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy wine64 "$suite.exe" --gtest_brief=1) \
    > "$work/$suite.log" 2>&1
  status=$?
  tr -d '\r' < "$work/$suite.log" | grep -E '^\[  (PASSED|SKIPPED|FAILED) ' | sed "s/^/  $suite: /"
  [ $status -eq 0 ] || { tr -d '\r' < "$work/$suite.log" | grep -B2 -A12 'Failure' >&2; fail "$suite.exe under Wine"; }
done
# The suite's files that need POSIX services are not built for Windows: which
# tests that leaves out, from the two suites' own lists.
list_tests() { # gtest executable [runner]: "Suite.Test" lines, sorted
  "$@" --gtest_list_tests | tr -d '\r' | awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' | sort
}
list_tests "$linux/kistora_tests" > "$work/linux-tests.txt"
(cd "$win" && list_tests wine64 kistora_tests.exe) > "$work/windows-tests.txt"
left_out=$(comm -23 "$work/linux-tests.txt" "$work/windows-tests.txt")
echo "  left out on Windows: $(grep -c . <<< "$left_out") tests, in the suites $(cut -d. -f1 <<< "$left_out" | sort -u | tr '\n' ' ')"

step "driver: level 1 on Linux and on Windows"
user=$work/Zoë/user
mkdir -p "$work/linux/user" "$user"
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$linux/kistora-script" --game-dir "$win/" --user-dir "$work/linux/user/" \
  tests/windows/level1.script > "$work/linux/out.txt" 2>&1 || { cat "$work/linux/out.txt" >&2; fail "the Linux driver"; }
(cd "$win" && wine64 kistora-script.exe --game-dir "$(windows_path "$win/")" --user-dir "$(windows_path "$user/")" \
  "$(windows_path "$root/tests/windows/level1.script")") > "$work/windows.out" 2>&1 ||
  { cat "$work/windows.out" >&2; fail "the Windows driver"; }
for file in Kistora.prefs Kistora.scores; do
  [ -f "$user/$file" ] || fail "the Windows driver wrote no $file into the folder named Zoë"
  cmp "$work/linux/user/$file" "$user/$file" || fail "$file differs between Linux and Windows"
done
echo "  Kistora.prefs ($(stat -c %s "$user/Kistora.prefs") bytes) and Kistora.scores ($(stat -c %s "$user/Kistora.scores") bytes): the same bytes"
printf 'press Escape\nframes 2\nstate\npress Escape\npress Escape\nframes 5\n' > "$work/german.script"
roaming=$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/brindlewood\ game\ studio/Kistora
(cd "$win" && LC_ALL=de_DE.UTF-8 wine64 kistora-script.exe --game-dir "$(windows_path "$win/")" \
  "$(windows_path "$work/german.script")") > "$work/german.out" 2>&1 || { cat "$work/german.out" >&2; fail "the German run"; }
grep -q '"Language": "de_DE"' "$work/german.out" || fail "a German Windows did not start the game in German"
[ -f "$roaming/Kistora.prefs" ] || fail "no Kistora.prefs in the roaming application data ($roaming)"
grep -q 'Language = de_DE' "$roaming/Kistora.prefs" || fail "the roaming Kistora.prefs does not keep German"
echo "  German locale: the game in German, its preferences in AppData\\Roaming\\brindlewood game studio\\Kistora"

step "the real window under Wine against the Linux screens"
[ -f "$linux/window-screens" ] || fail "build/window-screens is missing (libx11-dev and libxdamage-dev)"
# The Wine server of the runs above, and the desktop process it started, know
# no X display: the game needs a fresh one on its own display.
wineserver -k 2> /dev/null
portable=$win/stage/Kistora
[ -f "$portable/kistora.exe" ] || fail "$portable is missing (scripts/windows.sh)"
KISTORA_GAME=$linux/kistora KISTORA_SCREENS=$linux/window-screens \
  KISTORA_RENDERER_PROBE=$linux/tests/libwindow-renderer-probe.so KISTORA_BUILD_DIR=$win \
  KISTORA_RUNS="software windows" KISTORA_WINDOWS_GAME=$portable WINEDEBUG=-all \
  bash tests/window/renderers.sh || fail "the Windows game's screens"

step "installer round trip"
bash tests/windows/installer.sh "$win/dist/Kistora-1.0-setup.exe" || fail "the installer round trip"

echo "windows: every check passed in $(($(date +%s) - started)) s"
