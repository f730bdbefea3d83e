#!/usr/bin/env bash
# Configures and builds the game, its tools and its content into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache may reuse objects compiled in another checkout of the same sources.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"
