#!/usr/bin/env bash
# Configures and builds into build/:
#
#   bash scripts/build.sh          the game, its tools, its content, the tests and the benchmarks
#   bash scripts/build.sh --play   only the game and its three archives (and the tools that make them)
#
# KISTORA_WERROR=ON in the environment makes every warning an error (the test command sets it).
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache may reuse objects compiled in another checkout of the same sources.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
case "${1:-}" in
  --play)
    cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DKISTORA_TESTS=OFF -DKISTORA_BENCH=OFF
    cmake --build build -j "$(nproc)" --target kistora kistora-data kistora-maps kistora-languages
    ;;
  "")
    cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DKISTORA_TESTS=ON -DKISTORA_BENCH=ON \
      -DKISTORA_WERROR="${KISTORA_WERROR:-OFF}"
    cmake --build build -j "$(nproc)"
    ;;
  *) echo "usage: build.sh [--play]" >&2; exit 2 ;;
esac
