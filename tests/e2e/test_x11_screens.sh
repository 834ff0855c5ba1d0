#!/usr/bin/env bash
# X screens the window surface alone does not serve: a 30-bit screen (no
# surface format for it: shown through SDL's renderer), a screen smaller than
# the picture with no window manager (the window is made to cover it), and a
# window manager that starts after the window (the show must stay up, not
# minimized). Keys walk the scenes; each scene is checked exactly on screen,
# the main scene moves, and the run ends with status 0. Then the 30-bit
# screen under memory limits around what its OpenGL needs: each run refuses
# with one line naming the memory, or shows every scene; none crashes,
# aborts or freezes.
source "$(dirname "$0")/lib.sh"

next_screen() {
  stop_window_manager
  stop_display
}

for screen in 1280x1024:30:none 800x600:24:none 1920x1080:24:later; do
  IFS=: read -r size depth wm <<<"$screen"
  echo "--- $size, $depth bits, window manager: $wm"
  start_display "$size" "$depth"
  start_intro SDL_AUDIODRIVER=tapehiss-no-audio
  if [ "$wm" = later ]; then
    wait_for_scene title
    start_window_manager
  fi
  walk_scenes
  unexpected=$(own_stderr | grep -v '^tapehiss: running without sound' || true)
  [ -z "$unexpected" ] || fail "unexpected messages: $unexpected"
  next_screen
done

start_display 1920x1080 30
declare -A outcomes=()
for mb in 900 1100 1250 1300 1350 1375 1400 1450 1500; do
  INTRO_MEMORY_KB=$((mb * 1024)) start_intro SDL_AUDIODRIVER=tapehiss-no-audio
  if scene_shown title 20; then
    checked_shot title "title-$mb" >/dev/null || fail "$mb MB: the title is not shown whole"
    press; wait_for_scene credits; press; wait_for_scene main
    sleep 1
    checked_shot main-moment "main-$mb" >/dev/null || fail "$mb MB: the main scene is not shown whole"
    press; wait_for_scene end; press
    wait_intro
    [ "$RC" = 0 ] || fail "$mb MB: status $RC after every scene"
    outcomes[runs]+=" $mb"
  else
    wait_intro
    line=$(own_stderr)
    [ "$RC" = 1 ] && [ "$(grep -c . "$WORK/stderr.log")" = 1 ] && [[ "$line" == *"the show needs about "*" MB of memory" ]] ||
      fail "$mb MB: status $RC without the one line: $(cat "$WORK/stderr.log")"
    outcomes[refuses]+=" $mb"
  fi
done
echo "30-bit screen under a memory limit: refuses at${outcomes[refuses]:- none} MB; runs at${outcomes[runs]:- none} MB"
[ -n "${outcomes[runs]:-}" ] || fail "no limit let it run"
echo PASS
