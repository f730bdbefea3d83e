#!/usr/bin/env bash
# The rules' test binary needs no platform: no SDL, FreeType, fontconfig,
# libpng, zlib, vorbis, ogg or libarchive among its libraries, and none of the
# platform layer's functions inside it.
set -u
binary=$1
needed=$(readelf -d "$binary" | grep NEEDED) || { echo "readelf failed on $binary" >&2; exit 1; }
if grep -qiE 'SDL|freetype|fontconfig|png|libz\.|vorbis|ogg|archive' <<<"$needed"; then
  echo "the rules' tests link a platform library:" >&2
  echo "$needed" >&2
  exit 1
fi
if nm -C "$binary" | grep -qE ' (T|U) (PlatformInit|InitSprite|MilliClock|IsCellFree|GetLevelProperty)\('; then
  echo "the rules' tests carry platform or level-store functions" >&2
  exit 1
fi
nm -C "$binary" | grep -qE ' T MoveWorker\(' || { echo "no rules inside $binary" >&2; exit 1; }
echo "rules: linked without the platform"
