#!/usr/bin/env bash
# What a player sees is the same whichever renderer SDL draws with. The real
# game runs four times at once, each in a 1024 x 576 window on a virtual X
# display of its own, played with the same keys: by SDL's software renderer
# (the reference, SDL_RENDER_DRIVER=software), by OpenGL
# (SDL_RENDER_DRIVER=opengl, Mesa's llvmpipe here; a player with a graphics
# card gets SDL's OpenGL renderer), by whatever the game and SDL choose
# when nothing is asked (here, as for a player whose OpenGL is a software
# rasteriser), and with OpenGL asked for but broken (Mesa finds no driver:
# GLX answers the context with an X error), where the game must go on with
# the software renderer. Each run's screens are compared with the reference's:
#   main menu, settings (opened from the main menu), level select,
#   level 1 at its start and after a walk to the wall, pause menu, settings
#   (opened from the pause menu), level complete.
# Every key waits for the screen to settle (window-screens settle: the same
# picture over several frames the game has drawn), so a slow machine only
# makes the test slower.
# Tolerance: a pixel differs when one of its channels is off by more than 4,
# and at most 20 such pixels are allowed per state. OpenGL blends in floating
# point, SDL's blitter in integers: the dimmed play screen and the edges of the
# worker, target and HUD crate icon come out up to 3 levels apart, which no
# one sees; the smallest thing a player could miss (a digit of the step count,
# the HUD crate icon, a one-pixel panel border, a sprite moved by a pixel)
# changes hundreds of pixels by tens of levels.
# Left out: where the swaying title background shows (in the menu states
# only the panel or the cards count) and the play clock (the HUD's clock box,
# the level-complete time), which reads the real time of each run.
# Which renderer SDL really made is read from the game itself (a preloaded
# probe reports each SDL_CreateRenderer) and printed. On a difference the
# three pictures of the state (reference, other, differences) are kept under
# build/Testing/renderers/ and the test fails.
#
# KISTORA_KEEP_WORK=1 keeps the runs' folder (its path is printed by bash -x).
# Needs Xvfb, xdotool and Mesa's OpenGL (scripts/install-deps.sh); run by
# ctest with KISTORA_GAME, KISTORA_SCREENS, KISTORA_RENDERER_PROBE and
# KISTORA_BUILD_DIR set.
#
# The Windows build is compared the same way (tests/windows/wine.sh): with
# KISTORA_RUNS="software windows", KISTORA_WINDOWS_GAME (the portable game's
# folder) and WINEPREFIX (a prefix made ready), the second run is that game
# under wine64, played from a copy of the folder with its preferences beside
# it (the portable mode), drawn by Wine's Direct3D 11 on Mesa: the renderer a
# Windows player gets. Which renderer it made is read from the DLLs Wine loads.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
game=${KISTORA_GAME:?} screens=${KISTORA_SCREENS:?} probe=${KISTORA_RENDERER_PROBE:?}
keep=${KISTORA_BUILD_DIR:?}/Testing/renderers
for tool in Xvfb xdotool; do
  command -v "$tool" > /dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
started=$(date +%s)

tolerance=4 allowed=20
# Where things are in a 1024 x 576 window (x,y,w,h).
menu_panel=384,288,256,256
settings_panel=228,225,569,341
# shellcheck disable=SC2054 # the commas are inside each rectangle
cards=(384,288,256,256 682,288,256,256 980,288,44,256)
hud_clock=665,5,100,56
complete_time=640,178,124,32

rm -rf "$keep"
work=$(mktemp -d)
cleanup() {
  local job
  for job in $(jobs -p); do kill "$job" 2> /dev/null; done
  wait
  [ -n "${KISTORA_KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# One run of the game through every state, on a display of its own; its
# pictures go to $work/NAME/, a state not reached to $work/NAME/error. The
# three runs go at once: most of a run is waiting for frames.
run() { # name render-driver (empty: the game's and SDL's own choice)
  local name=$1 driver=$2
  local out=$work/$name
  local user=$out/home/data/brindlewood\ game\ studio/Kistora
  [ "$name" = windows ] && user=$out/game
  mkdir -p "$user"
  [ "$name" = windows ] && cp -r "${KISTORA_WINDOWS_GAME:?}"/. "$user"/
  local xvfb="" pid=""
  trap '[ -n "$pid" ] && kill "$pid" 2> /dev/null; [ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null; wait' EXIT
  trap 'exit 1' TERM
  # Xvfb takes the first free display number itself and names it.
  Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3> "$out/display" > "$out/xvfb.log" 2>&1 &
  xvfb=$!
  for _ in $(seq 400); do
    [ -s "$out/display" ] && break
    kill -0 "$xvfb" 2> /dev/null || break
    sleep 0.05
  done
  if [ ! -s "$out/display" ]; then
    echo "Xvfb did not start: $(cat "$out/xvfb.log")" > "$out/error"
    return
  fi
  DISPLAY=:$(head -n 1 "$out/display")
  export DISPLAY
  local run_start
  run_start=$(($(date +%s%N) / 1000000))
  printf '\xef\xbb\xbf\r\n; Kistora 1.0 Preferences\r\n[Settings]\r\nLanguage = en_GB\r\nMusic = 0\r\nGameScreen = 1\r\nResolution = 0\r\n' \
    > "$user/Kistora.prefs"
  (
    unset SDL_VIDEODRIVER SDL_RENDER_DRIVER KISTORA_PLAIN_DRAWING
    [ -n "$driver" ] && export SDL_RENDER_DRIVER=$driver
    [ "$name" = nogl ] && export LIBGL_DRIVERS_PATH=/nonexistent
    export HOME=$out/home XDG_DATA_HOME=$out/home/data SDL_AUDIODRIVER=dummy
    if [ "$name" = windows ]; then
      export WINEDEBUG=err-all,fixme-all,+loaddll
      cd "$user" && exec wine64 kistora.exe /LOG
    fi
    export KISTORA_RENDERER_REPORT=$out/renderer.txt LD_PRELOAD=$probe
    exec "$game" /LOG
  ) > "$out/game.out" 2>&1 &
  pid=$!
  local window=""
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Kistora 1\.0' 2> /dev/null | head -n 1)
    [ -n "$window" ] && break
    kill -0 "$pid" 2> /dev/null || break
    sleep 0.2
  done
  if [ -z "$window" ]; then
    if kill -0 "$pid" 2> /dev/null; then
      echo "no window appeared within a minute" > "$out/error"
    else
      wait "$pid"
      echo "the game ended (status $?) before its window appeared" > "$out/error"
      pid=""
    fi
    return
  fi
  xdotool windowfocus --sync "$window" 2> /dev/null
  xdotool mousemove 0 0
  local last=""
  # settle SHOT [options]: waits for the screen to settle into $out/SHOT.ppm;
  # --differ from the previous picture unless "-" is the first option.
  settle() {
    local shot=$1
    shift
    local from=()
    if [ "${1:-}" = "-" ]; then shift; elif [ -n "$last" ]; then from=(--differ "$last"); fi
    if ! "$screens" settle "$window" "$out/$shot.ppm" "${from[@]}" --timeout 20000 "$@" 2> "$out/settle.err"; then
      echo "$shot: $(cat "$out/settle.err")" > "$out/error"
      return 1
    fi
    last=$out/$shot.ppm
  }
  key() { xdotool key --delay 0 "$@"; }
  # Between states that are not compared: the screen has answered and no
  # panel slides in that would drop the next key.
  local brief=(--frames 2 --quiet 0)
  steps() {
    # Space skips the splash and the title; more of them do nothing in the menu.
    local tries
    for tries in 1 2 3 4 5 6 0; do
      [ "$tries" -gt 0 ] || { echo "main_menu: never shown" > "$out/error"; return 1; }
      key space
      "$screens" settle "$window" "$out/main_menu.ppm" --watch "$menu_panel" --want 390,292,e86a17 \
        --timeout 5000 2> /dev/null && break
    done
    last=$out/main_menu.ppm
    key Down && settle menu_settings_row --watch "$menu_panel" "${brief[@]}" || return 1
    key Return && settle settings --watch "$settings_panel" || return 1
    key Escape && settle menu_again --watch "$menu_panel" --want 390,292,e86a17 || return 1
    key Up && settle menu_start_row --watch "$menu_panel" "${brief[@]}" || return 1
    local watch_cards=()
    for c in "${cards[@]}"; do watch_cards+=(--watch "$c"); done
    key Return && settle level_select "${watch_cards[@]}" || return 1
    key Return && settle play_start --mask "$hud_clock" || return 1
    # Held, the worker walks until the wall stops it (7 cells to the right).
    xdotool keydown Right && settle play_walked --mask "$hud_clock"
    local walked=$?
    xdotool keyup Right
    [ $walked -eq 0 ] || return 1
    key Escape && settle pause_menu --mask "$hud_clock" || return 1
    key Down && settle pause_restart_row --mask "$hud_clock" "${brief[@]}" || return 1
    key Down && settle pause_settings_row --mask "$hud_clock" "${brief[@]}" || return 1
    key Return && settle game_settings --mask "$hud_clock" || return 1
    key Escape && settle pause_again --mask "$hud_clock" "${brief[@]}" || return 1
    key Escape && settle play_resumed --mask "$hud_clock" "${brief[@]}" || return 1
    # Down to the bottom row (4 cells), then left: one walk and three pushes
    # put the crate on its target.
    xdotool keydown Down && settle play_down --mask "$hud_clock"
    walked=$?
    xdotool keyup Down
    [ $walked -eq 0 ] || return 1
    xdotool keydown Left && settle level_complete --mask "$hud_clock" --mask "$complete_time"
    walked=$?
    xdotool keyup Left
    [ $walked -eq 0 ] || return 1
    key Escape && settle menu_end - --watch "$menu_panel" --want 390,292,e86a17 || return 1
    key Escape
  }
  steps
  # Escape in the main menu ends the game, which then saves and exits.
  for _ in $(seq 100); do
    [ -f "$out/error" ] && break
    kill -0 "$pid" 2> /dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2> /dev/null; then
    [ -f "$out/error" ] || echo "the game did not end after Escape in the main menu" > "$out/error"
    kill "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
  else
    wait "$pid"
    local status=$?
    [ $status -eq 0 ] || [ -f "$out/error" ] || echo "the game ended with status $status" > "$out/error"
  fi
  pid=""
  # The walk and the pushes as the scores file saw them: level 1 solved in 15
  # steps (7 right, 4 down, 1 left, 3 pushes), level 2 unlocked.
  if [ ! -f "$out/error" ]; then
    local scores
    scores=$(tr -d '\r' < "$user/Kistora.scores" 2> /dev/null | sed -n '2p;6p' | tr '\n' ' ')
    [ "$scores" = "15 1 " ] || echo "level 1 not solved in 15 steps (scores: $scores)" > "$out/error"
  fi
  echo "$((($(date +%s%N) / 1000000 - run_start) / 1000))" > "$out/seconds"
}

renderer_of() { # run name: what SDL made, as the probe saw it, and the run's length
  if [ "$1" = windows ]; then
    if grep -qi 'Loaded .*d3d11\.dll' "$work/$1/game.out"; then echo "Direct3D 11 (Wine loaded d3d11.dll)"
    else echo "not Direct3D 11 (Wine loaded no d3d11.dll)"; fi
  elif [ -s "$work/$1/renderer.txt" ]; then tail -n 1 "$work/$1/renderer.txt"; else echo "not reported"; fi
  [ -s "$work/$1/seconds" ] && echo "  (the game ran for $(cat "$work/$1/seconds") s)"
}

states=(main_menu settings level_select play_start play_walked pause_menu game_settings level_complete)
# Counted areas of each state, as window-screens options.
areas() {
  case $1 in
    main_menu) echo "--watch $menu_panel" ;;
    settings) echo "--watch $settings_panel" ;;
    level_select) for c in "${cards[@]}"; do echo "--watch $c"; done ;;
    level_complete) echo "--mask $hud_clock --mask $complete_time" ;;
    *) echo "--mask $hud_clock" ;;
  esac
}

read -r -a runs <<< "${KISTORA_RUNS:-software opengl default nogl}"
for name in "${runs[@]}"; do
  case $name in
    software | opengl) run "$name" "$name" & ;;
    nogl) run "$name" opengl & ;;
    default | windows) run "$name" "" & ;;
    *) fail "unknown run $name" ;;
  esac
done
wait
[ -f "$work/software/error" ] && { cat "$work/software/game.out" >&2; fail "software run: $(cat "$work/software/error")"; }
echo "software (SDL_RENDER_DRIVER=software, the reference): $(renderer_of software)"
grep -q 'SDL made software ' <<< "$(renderer_of software)" || fail "the software run did not draw with SDL's software renderer"

failed=0
for name in "${runs[@]:1}"; do
  # What the run asks of SDL, the renderer it must get and what it means when it does not.
  case $name in
    opengl) asked="SDL_RENDER_DRIVER=opengl" want='SDL made opengl '
      missing="SDL_RENDER_DRIVER=opengl did not give SDL's OpenGL renderer (is Mesa's libgl1-mesa-dri installed?)" ;;
    nogl) asked="SDL_RENDER_DRIVER=opengl, no GL driver" want='SDL made software '
      missing="with OpenGL broken the game did not go on with the software renderer" ;;
    windows) asked="no SDL_RENDER_DRIVER" want='^Direct3D 11' missing="the Windows game did not draw with Direct3D 11" ;;
    *) asked="no SDL_RENDER_DRIVER" want="" missing="" ;;
  esac
  made=$(renderer_of "$name")
  echo "$name ($asked): $made"
  if [ -f "$work/$name/error" ]; then
    cat "$work/$name/game.out" >&2
    echo "FAIL: $name run: $(cat "$work/$name/error")" >&2
    failed=1
    continue
  fi
  if [ -n "$want" ] && ! grep -q "$want" <<< "$made"; then
    echo "FAIL: $missing" >&2
    failed=1
    continue
  fi
  for state in "${states[@]}"; do
    # shellcheck disable=SC2046 # the areas are separate options
    result=$("$screens" diff "$work/software/$state.ppm" "$work/$name/$state.ppm" $(areas "$state") \
      --tolerance "$tolerance" --allow "$allowed" --out "$work/$name/$state-diff.ppm")
    status=$?
    printf '  %-15s %s\n' "$state" "$result"
    if [ $status -ne 0 ]; then
      failed=1
      mkdir -p "$keep/$name"
      "$screens" png "$work/software/$state.ppm" "$keep/$name/$state-software.png"
      "$screens" png "$work/$name/$state.ppm" "$keep/$name/$state-$name.png"
      "$screens" png "$work/$name/$state-diff.ppm" "$keep/$name/$state-differences.png"
      echo "FAIL: $name draws $state differently from the software renderer; pictures in $keep/$name/" >&2
    fi
  done
done
echo "took $(($(date +%s) - started)) s"
[ $failed -eq 0 ] || exit 1
echo "renderers: ${runs[*]:1} draw every state as the software renderer does"
