#!/usr/bin/env bash
# Installs every Debian 12 package Kistora needs to build, run and test.
# Safe to run again: only missing packages are installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git
  libsdl2-dev libsdl2-ttf-dev libfreetype-dev libfontconfig-dev fonts-liberation2
  libpng-dev zlib1g-dev libogg-dev libvorbis-dev libarchive-dev
  librsvg2-bin
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth time
  xdotool x11-utils imagemagick
  debhelper dpkg-dev lintian appstream desktop-file-utils
  valgrind
)

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
