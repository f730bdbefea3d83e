#!/usr/bin/env bash
# The long runs that CI keeps short, each with its duration:
#   1. the kill-mid-save test with 200 kills for each file (CI: 40),
#   2. every level played under ASan + UBSan (CI: the first third),
#   3. three levels played under valgrind memcheck, which must report no error.
# Builds build/ (release) and build-asan/ as scripts/test.sh does when they
# are missing. Run it before a release, or after changing the saves, the
# readers or the level flow:   bash scripts/long-tests.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
root=$PWD
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
bash scripts/install-deps.sh
bash scripts/build.sh > /dev/null
cmake -S . -B build-asan "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DKISTORA_SANITIZE=ON \
  -DKISTORA_BUILD_CONTENT=OFF -DKISTORA_BENCH=OFF -DKISTORA_GAME_DIR="$root/build" > /dev/null
cmake --build build-asan -j "$(nproc)" > /dev/null

export KISTORA_GAME_DIR=$root/build KISTORA_SOURCE_DIR=$root KISTORA_SOLVE=$root/build/kistora-solve
timed() { # title command...
  local start=$(date +%s)
  echo "=== $1"
  "${@:2}"
  echo "=== $1: passed in $(( $(date +%s) - start )) s"
}

KISTORA_SCRIPT=$root/build/kistora-script KISTORA_BUILD_DIR=$root/build KISTORA_KILL_TRIALS=200 \
  timed "kill mid-save, 200 trials per file" bash tests/script/save_killed.sh
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 KISTORA_SCRIPT=$root/build-asan/kistora-script \
  timed "all levels under ASan + UBSan" bash tests/playthrough/playthrough.sh
KISTORA_SCRIPT=$root/build/kistora-script \
  timed "three levels under valgrind memcheck" bash tests/playthrough/playthrough.sh --levels 3 \
  --wrap "valgrind --error-exitcode=99 -q"
