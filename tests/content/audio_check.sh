#!/usr/bin/env bash
# The built music and effects (and their copies in Kistora.data): each passes kistora-synth --check (length,
# 44.1 kHz, stereo music, 16-bit effects, headroom, a continuous loop seam,
# silent effect ends); the seam check really fails on a loop that is cut
# instead of wrapped; the two effects differ (confirm longer and louder than
# rollover); a score that miscounts a bar is refused.
set -u
Build=${KISTORA_BUILD_DIR:?}
Synth=$Build/kistora-synth
Audio=$Build/content/audio
Source=${KISTORA_SOURCE_DIR:?}/content/audio
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT
Failures=0
fail() { echo "FAIL: $*"; Failures=$((Failures + 1)); }

[ -x "$Synth" ] || { echo "FAIL: $Synth not built"; exit 1; }
for File in music1.ogg music2.ogg rollover3.wav click3.wav; do
  [ -f "$Audio/$File" ] || { fail "$File not built"; continue; }
  "$Synth" --check "$Audio/$File" > "$Work/$File.txt" || fail "$File does not pass the check"
  cat "$Work/$File.txt"
done

# Kistora.data carries exactly these files under the names the game loads.
Data=${KISTORA_GAME_DIR:-$Build}/Kistora.data
if [ -f "$Data" ] && [ -x "$Build/kistora-pack" ]; then
  for File in music1.ogg music2.ogg rollover3.wav click3.wav; do
    "$Build/kistora-pack" extract "$Data" "$File" -o "$Work/packed.$File" > /dev/null 2>&1 ||
      { fail "$File is not in Kistora.data"; continue; }
    cmp -s "$Work/packed.$File" "$Audio/$File" || fail "$File in Kistora.data differs from the rendered file"
  done
fi

# A loop rendered without wrapping its tails ends with a jump; the check must see it.
"$Synth" --cut "$Source/music1.score" "$Work/cut.ogg" > /dev/null || fail "cannot render the cut loop"
if "$Synth" --check "$Work/cut.ogg" > "$Work/cut.txt"; then
  cat "$Work/cut.txt"
  fail "a cut loop passes the seam check"
fi
grep -q "loop seam is not continuous" "$Work/cut.txt" || fail "the cut loop failed for another reason"

# Effects: different sounds, the confirm click longer and at least 3 dB louder.
peak() { sed -n 's/.*peak \(-*[0-9.]*\) dBFS.*/\1/p' "$Work/$1.txt"; }
frames() { sed -n 's/.* \([0-9]*\) frames.*/\1/p' "$Work/$1.txt"; }
if [ -f "$Work/rollover3.wav.txt" ] && [ -f "$Work/click3.wav.txt" ]; then
  cmp -s "$Audio/rollover3.wav" "$Audio/click3.wav" && fail "the two effects are the same file"
  awk -v R="$(peak rollover3.wav)" -v C="$(peak click3.wav)" 'BEGIN { exit !(C >= R + 3) }' ||
    fail "click3 is not firmer than rollover3"
  [ "$(frames click3.wav)" -gt "$(frames rollover3.wav)" ] || fail "click3 is not longer than rollover3"
fi

# The score reader refuses a bar that does not add up instead of drifting.
cat > "$Work/bad.score" <<'SCORE'
tempo 120
bars 1
instrument lead fm
pattern tune 1
  notes lead C4:4 D4:4 E4:4
end
at 0 tune
SCORE
if "$Synth" "$Work/bad.score" "$Work/bad.ogg" 2> "$Work/bad.txt"; then
  fail "a miscounted bar was rendered"
fi
grep -q "fill 12 sixteenths, the pattern has 16" "$Work/bad.txt" || fail "unclear message: $(cat "$Work/bad.txt")"

[ "$Failures" -eq 0 ] && echo "audio content: OK"
exit $((Failures > 0))
