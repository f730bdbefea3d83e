#!/usr/bin/env bash
# Installs the Debian 12 packages Kistora needs. Safe to run again: only
# missing packages are installed.
#
#   bash scripts/install-deps.sh          everything: build, play, test, package, profile
#   bash scripts/install-deps.sh --play   only what building and playing the game needs
set -euo pipefail

# The compiler, the game's libraries and what builds its content.
PLAY_PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libfreetype-dev libfontconfig-dev fonts-liberation2
  libpng-dev zlib1g-dev libogg-dev libvorbis-dev libarchive-dev
  librsvg2-bin
)
# The tests, the sanitizer and fuzz builds, the package checks, Wine for the
# Windows build's tests (scripts/windows.sh installs what builds it).
TEST_PACKAGES=(
  git
  libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format libclang-rt-14-dev
  xvfb xauth time
  xdotool x11-utils imagemagick
  libx11-dev libxdamage-dev libgl1 libglx-mesa0 libgl1-mesa-dri
  debhelper dpkg-dev lintian appstream desktop-file-utils
  valgrind
  wine64
)

PACKAGES=("${PLAY_PACKAGES[@]}")
case "${1:-}" in
  --play) ;;
  "") PACKAGES+=("${TEST_PACKAGES[@]}") ;;
  *) echo "usage: install-deps.sh [--play]" >&2; exit 2 ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
