#!/usr/bin/env bash
# The picture sources keep every colour in content/art/palette.css: each drawing
# links the palette, names colours only through its classes, and uses no class
# the palette lacks (an unknown class paints with the inherited colour, which
# can end up black, the transparent key colour of crates and backgrounds).
set -u
ArtDir="${KISTORA_SOURCE_DIR:?}/content/art"
Palette="$ArtDir/palette.css"
Failures=0
fail() { echo "FAIL: $*"; Failures=$((Failures + 1)); }

[ -f "$Palette" ] || { echo "FAIL: $Palette missing"; exit 1; }

# Classes the palette defines, one per line.
Defined=$(grep -oE '^\.[A-Za-z0-9_-]+' "$Palette" | sed 's/^\.//' | sort -u)
[ -n "$Defined" ] || fail "palette.css defines no classes"

# Pure black is the key colour: the palette must not offer it.
if grep -qiE 'color:[[:space:]]*(#000\b|#000000\b|black\b|rgb\(0,[[:space:]]*0,[[:space:]]*0\))' "$Palette"; then
    fail "palette.css defines pure black"
fi

Count=0
for Svg in "$ArtDir"/*.svg; do
    Count=$((Count + 1))
    Name=$(basename "$Svg")
    grep -q '<?xml-stylesheet type="text/css" href="palette.css"?>' "$Svg" || fail "$Name does not link palette.css"
    # Literal colours: hex values, rgb(), or named colours in paint attributes.
    if sed 's/url(#[^)]*)//g' "$Svg" | grep -nE '#[0-9a-fA-F]{3,8}\b|rgba?\(' >/dev/null; then
        fail "$Name names a colour directly instead of through palette.css"
    fi
    if grep -nE '(fill|stroke|stop-color|flood-color|color)="(black|white|red|green|blue|yellow|orange|grey|gray)"' "$Svg" >/dev/null; then
        fail "$Name uses a named colour instead of palette.css"
    fi
    for Class in $(grep -oE 'class="[^"]*"' "$Svg" | sed 's/^class="//; s/"$//' | tr ' ' '\n' | sort -u); do
        echo "$Defined" | grep -qx -- "$Class" || fail "$Name uses class '$Class' that palette.css does not define"
    done
done
[ "$Count" -ge 15 ] || fail "only $Count drawings found in $ArtDir"

# The build mirrors the facing-right workers with this stylesheet.
grep -q '#figure' "$ArtDir/mirror.css" || fail "mirror.css does not turn #figure"
for Svg in idle_right.svg push_right.svg; do
    grep -q 'id="figure"' "$ArtDir/$Svg" || fail "$Svg has no #figure group for mirror.css"
done

if [ "$Failures" -ne 0 ]; then
    echo "$Failures problems in the $Count drawings"
    exit 1
fi
echo "$Count drawings use the palette only"
