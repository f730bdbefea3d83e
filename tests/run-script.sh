#!/usr/bin/env bash
# Runs one .script file under the scripted driver with a fresh user folder.
# A script may start with header lines:
#   # exit: N            expected exit status of the driver (default 0)
#   # args: ...          extra driver options placed before the script
#   # game-args: ...     the game's own parameters (after "--")
set -u
driver=$1 game_dir=$2 script=$3
user_dir=$(mktemp -d)
trap 'rm -rf "$user_dir"' EXIT
want_exit=$(sed -n 's/^# exit: *//p' "$script" | head -n 1)
extra_args=$(sed -n 's/^# args: *//p' "$script" | head -n 1)
game_args=$(sed -n 's/^# game-args: *//p' "$script" | head -n 1)
# shellcheck disable=SC2086
"$driver" --game-dir "$game_dir/" --user-dir "$user_dir/" $extra_args "$script" -- $game_args
status=$?
if [ "$status" -ne "${want_exit:-0}" ]; then
  echo "driver exited with $status, expected ${want_exit:-0}" >&2
  exit 1
fi
exit 0
