#!/usr/bin/env bash
# The intro on Wayland compositors at 1920 x 1080: weston through Xwayland and
# as a native Wayland client (shown through SDL's renderer), keys walking the
# scenes, every scene exact and the main scene moving, status 0; mutter
# through Xwayland, the main scene exact (our own scaling, not the
# compositor's). A compositor that ends (SIGTERM, as at a logout) in the
# title or the main scene ends the run within a second: one line of ours,
# status 1.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/compositor.sh"
trap 'stop_compositor; cleanup' EXIT

# next_setup: the compositor and its Xvfb of the last setup go.
next_setup() {
  stop_compositor
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
}

# The compositor may show its own pointer until the mouse moves over the
# window (mutter does); a user's first move hides it, as here.
move_mouse() { xdotool mousemove 960 540 && xdotool mousemove 961 541; }

# Our lines but the one about running silently (no sound device here).
lines_said() { own_stderr | grep -v '^tapehiss: running without sound' || true; }

# compositor_ends SCENE: the intro, showing SCENE, outlives its compositor by
# at most a second and says why it stops.
compositor_ends() {
  local scene=$1
  local t0; t0=$(date +%s%3N)
  kill -TERM "$(compositor_process)"
  local took=0
  while kill -0 "$APP_PID" 2>/dev/null && [ "$took" -lt 5000 ]; do
    sleep 0.02
    took=$(($(date +%s%3N) - t0))
  done
  kill -0 "$APP_PID" 2>/dev/null && { kill -9 "$APP_PID"; fail "still running 5 s after the compositor ended"; }
  wait_intro
  echo "compositor ended in the $scene: the intro ended $took ms later with status $RC"
  [ "$RC" = 1 ] || fail "status $RC after the compositor ended"
  [ "$took" -le 1000 ] || fail "the intro took $took ms to end"
  [ "$(lines_said)" = "tapehiss: the display connection was lost" ] ||
    fail "expected one line saying the display connection was lost, got: $(lines_said)"
  COMPOSITOR_PID=
}

for way in xwayland wayland; do
  echo "--- weston 1920x1080, $way"
  start_weston 1920x1080
  start_intro_on "$way" SDL_AUDIODRIVER=tapehiss-no-audio
  move_mouse
  walk_scenes 60
  [ -z "$(lines_said)" ] || fail "unexpected messages: $(lines_said)"
  for scene in title main; do
    start_intro_on "$way" SDL_AUDIODRIVER=tapehiss-no-audio
    wait_for_scene title 60
    [ "$scene" = title ] || { press; wait_for_scene credits; press; wait_for_scene main; sleep 0.5; }
    compositor_ends "$scene"
    next_setup
    [ "$scene" = main ] || start_weston 1920x1080
  done
done

echo "--- mutter 1920x1080, xwayland"
start_mutter 1920x1080
start_intro_on xwayland SDL_AUDIODRIVER=tapehiss-no-audio
move_mouse
wait_for_scene title 60
press
wait_for_scene credits
press
wait_for_scene main
checked_shot main-moment main || fail "main scene under mutter"
"$CHECK" main "$WORK/main.xwd" | grep -v '^unscaled' || fail "main scene under mutter"
compositor_ends main
next_setup
echo PASS
