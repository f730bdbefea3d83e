#!/usr/bin/env bash
# The folders of src/ are layers, each including only itself and the layers
# below it, from the bottom:
#   platform  formats  base  settings  display  levels  play  screens  shell
# and only src/platform may include SDL, FreeType, fontconfig, libpng,
# vorbis/ogg or libarchive. No exceptions.
set -u
cd "$KISTORA_SOURCE_DIR" || exit 1
order=(platform formats base settings display levels play screens shell)
rank() { local i; for i in "${!order[@]}"; do [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }; done; echo -1; }

failed=0
checked=0
for dir in src/*/; do
  dir=${dir%/}; layer=${dir#src/}
  own=$(rank "$layer")
  if [ "$own" -lt 0 ]; then echo "src/$layer is not a known layer" >&2; failed=1; continue; fi
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([a-z_]+)\/.*/\1/' <<<"$text")
    checked=$((checked + 1))
    r=$(rank "$target")
    if [ "$r" -lt 0 ]; then
      echo "$file:$line: includes an unknown folder: $text" >&2; failed=1
    elif [ "$r" -gt "$own" ]; then
      echo "$file:$line: $layer includes $target, a layer above it: $text" >&2; failed=1
    fi
  done < <(grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]+/' "$dir"/*.cpp "$dir"/*.h 2>/dev/null)
done

leaks=$(grep -rnE '#[[:space:]]*include[[:space:]]*[<"](SDL|ft2build|freetype|fontconfig|png\.h|pngconf|zlib|vorbis|ogg|archive)' \
  src --include='*.cpp' --include='*.h' | grep -v '^src/platform/')
if [ -n "$leaks" ]; then
  echo "library headers included outside src/platform:" >&2
  echo "$leaks" >&2
  failed=1
fi
# One name, one record: the game is one program, so two records of the same
# name in two files (even file-local ones) would let the linker take one's
# constructor for the other.
twice=$(grep -rhoE '^(struct|class) [A-Za-z_0-9]+ *(\{|:|$)' src --include='*.cpp' --include='*.h' |
  awk '{print $2}' | sort | uniq -d)
if [ -n "$twice" ]; then
  echo "records defined in more than one place in src:" >&2
  for name in $twice; do grep -rnE "^(struct|class) $name( |\{|:|$)" src --include='*.cpp' --include='*.h' >&2; done
  failed=1
fi
# The check itself must see includes, or it proves nothing.
grep -rqE '#[[:space:]]*include[[:space:]]*<SDL' src/platform || { echo "no SDL include found in src/platform" >&2; failed=1; }
[ "$checked" -gt 50 ] || { echo "only $checked includes seen" >&2; failed=1; }
[ "$failed" -eq 0 ] && echo "layering: $checked includes, all downwards"
exit "$failed"
