#!/usr/bin/env bash
# Checks the Debian package made by scripts/package.sh in FOLDER: lintian (no
# errors, no warnings beyond the overrides), its control fields, its file list,
# and, unpacked with dpkg -x, the desktop entry, the AppStream metadata, the
# manual page and the game itself on a virtual X display.
#   check-package.sh FOLDER
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
folder=${1:?usage: check-package.sh FOLDER}
here=$(cd "$(dirname "$0")" && pwd)
deb=$folder/kistora_1.0-1_amd64.deb
[ -f "$deb" ] || fail "no $deb"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Lintian over the binary packages: any error or warning fails; what is left
# (information, and the overrides in debian/kistora.lintian-overrides with
# their reasons) is shown.
changes=$(ls "$folder"/kistora_1.0-1_*.changes | head -n 1)
# (Lintian leaves database files in its temporary folder: it gets one of ours.)
mkdir "$work/lintian-tmp"
TMPDIR=$work/lintian-tmp lintian --allow-root --show-overrides --display-level '>=info' "$changes" \
  > "$work/lintian.txt" 2>&1
echo "lintian:"; sed 's/^/  /' "$work/lintian.txt"
! grep -qE '^[EW]:' "$work/lintian.txt" || fail "lintian reports errors or warnings"

# Control fields: Depends from shlibs plus the font.
dpkg-deb -f "$deb" Package Version Architecture Section Depends > "$work/control.txt"
grep -qx 'Version: 1.0-1' "$work/control.txt" || fail "version is not 1.0-1"
grep -qx 'Section: games' "$work/control.txt" || fail "section is not games"
depends=$(sed -n 's/^Depends: //p' "$work/control.txt")
for lib in fonts-liberation2 libsdl2-2.0-0 libfreetype6 libfontconfig1 libpng16-16 libsdl2-mixer-2.0-0 libarchive13; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

# The file list.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort > "$work/files.txt"
expected="/usr/games/kistora
/usr/share/applications/games.brindlewood.kistora.desktop
/usr/share/doc/kistora/changelog.Debian.gz
/usr/share/doc/kistora/copyright
/usr/share/games/kistora/Kistora.data
/usr/share/games/kistora/Kistora.languages
/usr/share/games/kistora/Kistora.maps
/usr/share/lintian/overrides/kistora
/usr/share/man/man6/kistora.6.gz
/usr/share/metainfo/games.brindlewood.kistora.metainfo.xml"
for size in 16 24 32 48 64 128 256 512; do
  expected+=$'\n'"/usr/share/icons/hicolor/${size}x${size}/apps/kistora.png"
done
expected+=$'\n'"/usr/share/icons/hicolor/scalable/apps/kistora.svg"
diff <(sort <<<"$expected") "$work/files.txt" > "$work/files.diff" \
  || { cat "$work/files.diff" >&2; fail "the package's files differ from the list (< expected, > packaged)"; }
echo "files: $(wc -l < "$work/files.txt") as listed, $(du -k "$deb" | cut -f1) KiB package"

# Unpacked: the desktop entry and the metadata validate, and say what they should.
dpkg -x "$deb" "$work/root"
usr=$work/root/usr
desktop=$usr/share/applications/games.brindlewood.kistora.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate reports problems"
for line in 'Type=Application' 'Name=Kistora' 'Exec=kistora' 'Icon=kistora' 'Categories=Game;LogicGame;' \
            'StartupWMClass=kistora' 'Terminal=false'; do
  grep -qx "$line" "$desktop" || fail "the desktop entry lacks '$line'"
done
for key in GenericName Comment Keywords; do grep -q "^$key=." "$desktop" || fail "the desktop entry has no $key"; done
[ -f "$usr/share/icons/hicolor/48x48/apps/kistora.png" ] || fail "the entry's icon is not in the hicolor theme"
metainfo=$usr/share/metainfo/games.brindlewood.kistora.metainfo.xml
appstreamcli validate --no-net --pedantic "$metainfo" > "$work/appstream.txt" 2>&1 \
  || { cat "$work/appstream.txt" >&2; fail "appstreamcli validate fails"; }
grep -E '^[EW]:' "$work/appstream.txt" && fail "appstreamcli reports errors or warnings"
for part in '<launchable type="desktop-id">games.brindlewood.kistora.desktop</launchable>' \
            '<binary>kistora</binary>' '<release version="1.0" date="' '<content_rating type="oars-1.1"/>'; do
  grep -qF "$part" "$metainfo" || fail "the metadata lacks $part"
done
[ "$(grep -c '<screenshot' "$metainfo")" -ge 2 ] || fail "the metadata has no screenshots"
man --warnings -l "$usr/share/man/man6/kistora.6.gz" > /dev/null 2> "$work/man.txt"
[ ! -s "$work/man.txt" ] || { cat "$work/man.txt" >&2; fail "the manual page has warnings"; }

# The unpacked game runs and finds its archives in the package's data folder.
bash "$here/run-installed.sh" "$usr/games/kistora" "$usr/share/games/kistora/" || fail "the packaged game did not run"
echo "package: all checks passed"
