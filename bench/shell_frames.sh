#!/usr/bin/env bash
# Start-up time to the first frame and CPU time per main-menu frame, measured
# with the headless driver (software renderer, 1920x1080 unless told otherwise).
#   bash bench/shell_frames.sh BUILD_DIR [WxH]
set -euo pipefail
build=${1:-build}
desktop=${2:-1920x1080}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'frames 1\n' > "$work/first.script"
# Escape twice reaches the main menu; the 600 frames after it are all menu frames.
printf 'press Escape\npress Escape\nframes 600\n' > "$work/menu.script"

cpu() { # script -> user+system seconds of one run
  mkdir -p "$work/u"
  /usr/bin/time -f '%U %S %e' "$build/kistora-script" --desktop "$desktop" --game-dir "$build/" \
    --user-dir "$work/u/" "$1" 2>&1 >/dev/null | tail -n 1
}
read -r u1 s1 e1 <<<"$(cpu "$work/first.script")"
read -r u2 s2 e2 <<<"$(cpu "$work/menu.script")"
awk -v u1="$u1" -v s1="$s1" -v e1="$e1" -v u2="$u2" -v s2="$s2" 'BEGIN {
  printf "start-up to first frame: %.2f s CPU, %.2f s wall\n", u1 + s1, e1
  printf "main menu: %.2f ms CPU per frame\n", ((u2 + s2) - (u1 + s1)) * 1000 / 603
}'
