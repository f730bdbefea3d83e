#!/usr/bin/env bash
# A Kistora.data without crate.png: the sounds load, the screen opens, and the
# picture phase fails with "Load asset (crate.png):" + two tabs + "FAILED";
# exit status 1, no preferences or scores written.
# The archive is the built one repacked without crate.png (kistora-pack), or,
# without a built one, one made of small generated sounds and pictures.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/game" "$work/user" "$work/entries"
pack="$KISTORA_BUILD_DIR/kistora-pack"
[ -x "$pack" ] || fail "kistora-pack not built at $pack"
for file in Kistora.maps Kistora.languages; do
  [ -e "$KISTORA_GAME_DIR/$file" ] && cp -r "$KISTORA_GAME_DIR/$file" "$work/game/"
done

if [ -f "$KISTORA_GAME_DIR/Kistora.data" ]; then
  "$pack" list "$KISTORA_GAME_DIR/Kistora.data" > "$work/list.txt" || fail "cannot list the built Kistora.data"
  grep -q $'^crate.png\t' "$work/list.txt" || fail "the built Kistora.data has no crate.png to leave out"
  while IFS=$'\t' read -r name _; do
    [ "$name" = crate.png ] && continue
    mkdir -p "$work/entries/$(dirname "$name")"
    "$pack" extract "$KISTORA_GAME_DIR/Kistora.data" "$name" -o "$work/entries/$name" || fail "cannot extract $name"
  done < "$work/list.txt"
else
  command -v python3 >/dev/null || fail "no built Kistora.data and no python3 to make pictures"
  python3 - "$work/entries" <<'PY'
import struct, sys, zlib
out = sys.argv[1]
def png(path, w, h, rgba):
    raw = b''.join(b'\0' + bytes(rgba) * w for _ in range(h))
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))
def wav(path, frames):
    data = b'\0\0\0\0' * frames
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt ' + struct.pack('<IHHIIHH', 16, 1, 2, 22050, 88200, 4, 16)
                + b'data' + struct.pack('<I', len(data)) + data)
for name in ('music1.ogg', 'music2.ogg', 'rollover3.wav', 'click3.wav'):
    wav(f'{out}/{name}', 2205)
for ratio in ('3x2', '4x3', '5x4', '16x9', '16x10', '17x9'):
    png(f'{out}/title_{ratio}.png', 320, 60, (200, 40, 40, 255))
    png(f'{out}/bgs_{ratio}.png', 320, 180, (40, 40, 200, 255))
for name in ('idle_left', 'idle_right', 'idle_up', 'idle_down', 'push_left', 'push_right', 'push_up', 'push_down',
             'tile_01', 'locked', 'titleback_c'):
    png(f'{out}/{name}.png', 16, 16, (90, 160, 90, 255))
PY
  [ $? -eq 0 ] || fail "could not generate the test assets"
fi
[ ! -e "$work/entries/crate.png" ] || fail "crate.png was not left out"
"$pack" create "$work/game/Kistora.data" --level 1 "$work/entries" || fail "kistora-pack create failed"
"$pack" verify "$work/game/Kistora.data" > /dev/null || fail "the repacked archive does not verify"

printf 'frames 5\n' > "$work/run.script"
"$KISTORA_SCRIPT" --game-dir "$work/game/" --user-dir "$work/user/" "$work/run.script" -- /LOG \
  > "$work/out.txt" 2> "$work/err.txt"
status=$?
[ "$status" -eq 1 ] || { cat "$work/err.txt" >&2; fail "exit status $status, expected 1"; }

log=$(ls "$work/user"/Log\ *.log 2>/dev/null | head -n 1)
[ -n "$log" ] || fail "no log was written with /LOG"
grep -aq $'^Load asset (click3.wav):\t\tOK\r$' "$log" || fail "the sounds did not load first"
grep -aq $'^Opening screen (.*):\t\tOK\r$' "$log" || fail "the screen was not open when the pictures failed"
grep -aq $'^Load asset (crate.png):\t\tFAILED\r$' "$log" || fail "no 'Load asset (crate.png):' FAILED line"
[ "$(tail -n 1 "$log")" = $'Load asset (crate.png):\t\tFAILED\r' ] || fail "the FAILED line is not the log's last"
[ ! -e "$work/user/Kistora.prefs" ] || fail "preferences were written"
[ ! -e "$work/user/Kistora.scores" ] || fail "scores were written"
echo "asset missing crate: all checks passed"
