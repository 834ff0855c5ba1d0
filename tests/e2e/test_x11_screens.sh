#!/usr/bin/env bash
# X screens the window surface alone does not serve: a 30-bit screen (no
# surface format for it: shown through SDL's renderer), a screen smaller than
# the picture with no window manager (the window is made to cover it), and a
# window manager that starts after the window (the show must stay up, not
# minimized). Keys walk the scenes; each scene is checked exactly on screen,
# the main scene moves, and the run ends with status 0.
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
echo PASS
