#!/usr/bin/env bash
# Only src/platform may include SDL, FreeType, fontconfig, libpng, vorbis/ogg or
# libarchive: the rest of the game reaches them through platform/platform.h.
set -u
cd "$KISTORA_SOURCE_DIR" || exit 1
leaks=$(grep -rnE '#[[:space:]]*include[[:space:]]*[<"](SDL|ft2build|freetype|fontconfig|png\.h|vorbis|ogg|archive)' \
  src --include='*.cpp' --include='*.h' | grep -v '^src/platform/')
if [ -n "$leaks" ]; then
  echo "library headers included outside src/platform:" >&2
  echo "$leaks" >&2
  exit 1
fi
# The check itself must see the platform's own includes, or it proves nothing.
grep -rqE '#[[:space:]]*include[[:space:]]*<SDL' src/platform || { echo "no SDL include found in src/platform" >&2; exit 1; }
echo "layering: ok"
