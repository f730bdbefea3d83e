#!/usr/bin/env bash
# One command from a fresh Debian 12 checkout to every test:
# installs what is missing, builds, runs the unit and scripted tests, builds
# and checks the Debian package, runs the same tests built with AddressSanitizer
# and UndefinedBehaviorSanitizer, builds the Windows game and its packages and
# tests them under Wine, then runs each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache may reuse objects compiled in another checkout of the same sources.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
root=$PWD
FUZZ_SECONDS=${KISTORA_FUZZ_SECONDS:-40}
jobs=$(nproc)
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

phase() { printf '\n=== %s (%s)\n' "$1" "$(date +%H:%M:%S)"; }

# The tests get a temporary folder of their own, which must be empty again
# after each test phase: a test removes whatever it creates.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
tidy_check() {
  local left
  left=$(ls -A "$scratch")
  if [ -n "$left" ]; then
    echo "tests left these behind in the temporary folder:" >&2
    echo "$left" | head -n 20 >&2
    exit 1
  fi
}

phase "install"
bash scripts/install-deps.sh

# Warnings are errors in every build the tests run on.
export KISTORA_WERROR=ON

phase "format"
bash scripts/check-format.sh

phase "release build"
bash scripts/build.sh

phase "release tests"
TMPDIR=$scratch ctest --test-dir build --output-on-failure -j "$jobs"
tidy_check

# The Debian package, built without running the tests again (they just ran on
# the same sources), then checked: lintian, file list, desktop entry, AppStream
# metadata, and the unpacked game on a virtual X display.
phase "package"
TMPDIR=$scratch DEB_BUILD_OPTIONS=nocheck bash scripts/package.sh
tidy_check

phase "sanitizer build"
cmake -S . -B build-asan "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DKISTORA_SANITIZE=ON -DKISTORA_WERROR=ON \
  -DKISTORA_BUILD_CONTENT=OFF -DKISTORA_BENCH=OFF -DKISTORA_GAME_DIR="$root/build"
cmake --build build-asan -j "$jobs"

phase "sanitizer tests"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 TMPDIR=$scratch \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
tidy_check

# The Windows build: cross-built with MinGW-w64 (its libraries once into a
# cache outside the checkout), packed as the zip and the installer, then
# tested under Wine.
phase "windows build"
TMPDIR=$scratch bash scripts/windows.sh

phase "windows tests (wine)"
TMPDIR=$scratch bash tests/windows/wine.sh
tidy_check

if [ -f tests/fuzz/CMakeLists.txt ]; then
  # Build and every target for FUZZ_SECONDS (8 targets: about 6 minutes in all).
  phase "fuzz (${FUZZ_SECONDS}s per target)"
  TMPDIR=$scratch bash scripts/fuzz.sh --seconds "$FUZZ_SECONDS"
  tidy_check
fi

phase "done"
