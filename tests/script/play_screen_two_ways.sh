#!/usr/bin/env bash
# The first level reached from the level select and again through the pause
# menu's restart gives the very same picture: every pixel of the play screen
# is painted every frame, so nothing of the level-select cards or of the
# dimmed pause menu is left anywhere, at the usual and at odd desktop sizes
# (1600 x 910 puts the board exactly one tile in from the left edge).
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for size in 1600x910 1024x768; do
  mkdir -p "$work/$size"
  cat > "$work/$size.script" <<SCRIPT
press Escape
press Escape
frames 5
press Return
frames 5
expect GameState 3
press Return
frames 3
expect GameState 7
screenshot $work/$size/from-level-select.png
press Escape
expect GameState 8
press Down
press Return
frames 3
expect GameState 7
expect StepCount 0
screenshot $work/$size/from-restart.png
SCRIPT
  "$KISTORA_SCRIPT" --game-dir "$KISTORA_GAME_DIR/" --user-dir "$work/$size/" --desktop "$size" "$work/$size.script" \
    > "$work/$size.out" 2> "$work/$size.err" || { cat "$work/$size.err" >&2; fail "$size: driver failed"; }
  [ -s "$work/$size/from-level-select.png" ] && [ -s "$work/$size/from-restart.png" ] || fail "$size: no screenshots"
  cmp -s "$work/$size/from-level-select.png" "$work/$size/from-restart.png" \
    || fail "$size: the play screen differs with what was on the screen before it"
done
echo "play screen two ways: all checks passed"
