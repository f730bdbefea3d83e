#!/usr/bin/env bash
# Every shipped level played through the key bindings from a fresh user
# folder, answers from kistora-solve (tests/playthrough/playthrough.sh).
# The sanitizer build plays the first third of the levels; scripts/long-tests.sh
# plays all of them there, and three under valgrind.
set -u
here=$(cd "$(dirname "$0")" && pwd)
if grep -q '^KISTORA_SANITIZE:BOOL=ON' "$KISTORA_BUILD_DIR/CMakeCache.txt" 2>/dev/null; then
  count=$(awk '/^Name:/' "$KISTORA_SOURCE_DIR"/content/levels/levels_*.txt | wc -l)
  exec bash "$here/../playthrough/playthrough.sh" --levels $(( (count + 2) / 3 ))
fi
exec bash "$here/../playthrough/playthrough.sh"
