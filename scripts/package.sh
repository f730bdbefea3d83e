#!/usr/bin/env bash
# Builds the Debian package kistora_1.0-1_amd64.deb with dpkg-buildpackage from
# the files of this checkout (as they are in the working tree), then checks it
# (tests/install/check-package.sh: lintian, the file list, the desktop entry,
# the AppStream metadata, and the unpacked game on a virtual X display).
# The package and its .buildinfo and .changes land in build-package/.
#   bash scripts/package.sh               build with the tests run during the build
#   DEB_BUILD_OPTIONS=nocheck bash scripts/package.sh    without them (CI: they ran before)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-package
bash scripts/install-deps.sh

# dpkg-buildpackage writes its results beside the source folder, so the build
# runs in a copy in a folder of its own.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
src=$stage/kistora-1.0
mkdir "$src"
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$src"
else
  tar --exclude='./build*' -cf - . | tar -xf - -C "$src"
fi

# ccache across builds: debhelper gives the build a home of its own, so the
# cache folder is named here; paths inside the copy are hashed relative to it.
CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir 2> /dev/null || echo "$HOME/.cache/ccache")}
export CCACHE_DIR CCACHE_BASEDIR=$src CCACHE_NOHASHDIR=1
# Without the tests, their tools (marked <!nocheck> in debian/control) are not needed either.
case " ${DEB_BUILD_OPTIONS:-} " in
  *" nocheck "*) export DEB_BUILD_PROFILES="nocheck ${DEB_BUILD_PROFILES:-}" ;;
esac
(cd "$src" && dpkg-buildpackage -us -uc -b) > "$stage/build.log" 2>&1 \
  || { tail -n 60 "$stage/build.log" >&2; echo "dpkg-buildpackage failed" >&2; exit 1; }
grep -E '^dpkg-deb: building package' "$stage/build.log" || true

mkdir -p "$out"
rm -f "$out"/*.deb "$out"/*.ddeb "$out"/*.buildinfo "$out"/*.changes
mv "$stage"/*.deb "$stage"/*.buildinfo "$stage"/*.changes "$out"/
bash tests/install/check-package.sh "$out"
