#!/usr/bin/env bash
# The Debian packages bench/run uses on top of the build's own (scripts/install-deps.sh):
# the other game it compares with (cavepacker), a virtual X display and tools to
# watch and drive windows on it, GNU time, and the profilers named in bench/README.
# Safe to run again: only missing packages are installed.
set -euo pipefail

PACKAGES=(cavepacker xvfb libgl1-mesa-dri xauth x11-utils libx11-dev xdotool imagemagick time linux-perf valgrind)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ "${#missing[@]}" -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
