#!/usr/bin/env bash
# cmake --install with DESTDIR into a scratch root: exactly the game, its three
# archives and its desktop files land in the Debian games layout under the
# prefix (no scripted driver, no content tools), and the installed game runs
# from there (run-installed.sh).
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=/usr/local
DESTDIR="$work/root" cmake --install "${KISTORA_BUILD_DIR:?}" --prefix "$prefix" > "$work/install.log" 2>&1 \
  || { cat "$work/install.log" >&2; fail "cmake --install failed"; }
root=$work/root$prefix

expected="games/kistora
share/applications/games.brindlewood.kistora.desktop"
for size in 16 24 32 48 64 128 256 512; do
  expected+=$'\n'"share/icons/hicolor/${size}x${size}/apps/kistora.png"
done
expected+="
share/icons/hicolor/scalable/apps/kistora.svg
share/games/kistora/Kistora.data
share/games/kistora/Kistora.languages
share/games/kistora/Kistora.maps
share/man/man6/kistora.6
share/metainfo/games.brindlewood.kistora.metainfo.xml"
found=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)
diff <(sort <<<"$expected") <(echo "$found") > "$work/files.diff" \
  || { cat "$work/files.diff" >&2; fail "the installed files differ from the list (< expected, > installed)"; }
[ "$(find "$work/root" -mindepth 1 -maxdepth 1)" = "$work/root/usr" ] || fail "files outside the prefix: $(ls -A "$work/root")"
[ -x "$root/games/kistora" ] || fail "the game is not executable"
for size in 16 24 32 48 64 128 256 512; do
  png="$root/share/icons/hicolor/${size}x${size}/apps/kistora.png"
  [ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" = "$(printf '%08x%08x' "$size" "$size")" ] \
    || fail "$png is not $size x $size"
done

bash "${KISTORA_SOURCE_DIR:?}/tests/install/run-installed.sh" "$root/games/kistora" "$root/share/games/kistora/" \
  || fail "the installed game did not run"
echo "install: files in place, installed game runs"
