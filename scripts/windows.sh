#!/usr/bin/env bash
# Builds Kistora for 64-bit Windows on Debian 12, with Debian's MinGW-w64, and
# packs it. Installs what it needs; safe to run again. Leaves:
#
#   build-windows/kistora.exe            the game
#   build-windows/kistora-script.exe     the scripted headless driver
#   build-windows/kistora_tests.exe, build-windows/kistora_rules_tests.exe
#   build-windows/dist/Kistora-1.0-windows-x64.zip   the portable game
#   build-windows/dist/Kistora-1.0-setup.exe         the installer
#
# The three archives are the Linux build's (build/, made by the content tools,
# which run on the build machine); the libraries come from
# scripts/windows-deps.sh, built once into a cache outside the checkout.
# KISTORA_WERROR=ON makes every warning an error (the test command sets it).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
VERSION=1.0
OUT=build-windows

say() { printf 'windows: %s\n' "$*" >&2; }

PACKAGES=(mingw-w64 libz-mingw-w64-dev nsis librsvg2-bin imagemagick fonts-liberation2 cmake ninja-build
  pkg-config)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  say "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The content, made by the Linux build's tools: into the Linux build folder
# when it is configured (its own settings are kept), else by a play build.
archives=(Kistora.data Kistora.maps Kistora.languages)
if [ -f build/CMakeCache.txt ]; then
  cmake --build build -j "$(nproc)" --target kistora-data kistora-maps kistora-languages
else
  bash scripts/install-deps.sh --play
  bash scripts/build.sh --play
fi

prefix=$(bash scripts/windows-deps.sh | tail -n 1)
say "libraries in $prefix"

# A build folder made with other libraries starts again: CMake keeps what
# pkg-config found.
if [ -f "$OUT/CMakeCache.txt" ] && [ "$(cat "$OUT/libraries" 2> /dev/null)" != "$prefix" ]; then
  say "the libraries changed: configuring $OUT afresh"
  rm -rf "$OUT/CMakeCache.txt" "$OUT/CMakeFiles"
fi
mkdir -p "$OUT"
echo "$prefix" > "$OUT/libraries"
cmake -S . -B "$OUT" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DKISTORA_WINDOWS_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release -DKISTORA_BUILD_CONTENT=OFF \
  -DKISTORA_BENCH=OFF -DKISTORA_TESTS=ON -DKISTORA_GAME_DIR="$ROOT/$OUT" \
  -DKISTORA_WERROR="${KISTORA_WERROR:-OFF}" > /dev/null
cmake --build "$OUT" -j "$(nproc)"

# The game folder as the executables see it: the archives and the fallback
# font beside them.
font=/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf
for archive in "${archives[@]}"; do cp -f "build/$archive" "$OUT/$archive"; done
cp -f "$font" "$OUT/LiberationSans-Bold.ttf"

# What both packages hold.
stage=$OUT/stage/Kistora
rm -rf "$OUT/stage" "$OUT/dist"
mkdir -p "$stage" "$OUT/dist"
x86_64-w64-mingw32-strip -o "$stage/kistora.exe" "$OUT/kistora.exe"
for archive in "${archives[@]}"; do cp "build/$archive" "$stage/"; done
cp "$font" "$stage/LiberationSans-Bold.ttf"
cp /usr/share/doc/fonts-liberation2/copyright "$stage/LICENSE-LiberationSans.txt"
# Windows' Notepad of old reads only CRLF line ends.
sed 's/$/\r/' packaging/windows/README.txt > "$stage/README.txt"

zip=$OUT/dist/Kistora-$VERSION-windows-x64.zip
(cd "$OUT/stage" && cmake -E tar cf "$ROOT/$zip" --format=zip Kistora)
say "$zip: $(stat -c %s "$zip") bytes"

cp "$OUT/windows/kistora.ico" "$stage/kistora.ico" # for the installer only
setup=$OUT/dist/Kistora-$VERSION-setup.exe
makensis -V2 -DVERSION="$VERSION" -DSTAGE="$ROOT/$stage" \
  -DOUTFILE="$ROOT/$setup" packaging/windows/kistora.nsi
say "$setup: $(stat -c %s "$setup") bytes"
