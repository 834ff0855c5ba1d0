#!/usr/bin/env bash
# The intro on Wayland compositors at 1920 x 1080: weston through Xwayland and
# as a native Wayland client (shown through SDL's renderer), keys walking the
# scenes, every scene exact and the main scene moving, status 0; mutter
# through Xwayland, the main scene exact (our own scaling, not the
# compositor's), and natively, every scene exact. A compositor that ends
# (SIGTERM, as at a logout) in the title or the main scene ends the run within
# a second: one line of ours, status 1. Natively under weston, with a memory
# limit too tight for OpenGL: one line naming the memory, status 1.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/compositor.sh"
trap 'stop_compositor; cleanup' EXIT

# next_setup: the compositor and its Xvfb of the last setup go.
next_setup() {
  stop_compositor
  stop_display
}

# The compositor may show its own pointer until the mouse moves over the
# window (mutter does); a user's first move hides it, as here.
move_mouse() { xdotool mousemove 960 540 && xdotool mousemove 961 541; }

# Our lines but the one about running silently (no sound device here).
lines_said() { own_stderr | grep -v '^tapehiss: running without sound' || true; }

# all_gone PID...: none of the processes runs any more.
all_gone() {
  local pid
  for pid; do kill -0 "$pid" 2>/dev/null && return 1; done
  return 0
}

# compositor_ends SCENE: the intro, showing SCENE, outlives its display by at
# most a second (the compositor and its Xwayland: their own ending, slow on a
# busy machine, is not the intro's) and says why it stops; both times are
# printed, from the signal.
compositor_ends() {
  local scene=$1 compositor display_pids t0 now gone='' ended=''
  compositor=$(compositor_process)
  display_pids="$compositor $(pgrep -x Xwayland -P "$compositor" || true)"
  t0=$(date +%s%3N)
  kill -TERM "$compositor"
  while now=$(date +%s%3N) && [ $((now - t0)) -lt 5000 ]; do
    [ -z "$gone" ] && all_gone $display_pids && gone=$((now - t0))
    [ -z "$ended" ] && ! kill -0 "$APP_PID" 2>/dev/null && ended=$((now - t0))
    [ -n "$gone" ] && [ -n "$ended" ] && break
    sleep 0.02
  done
  [ -n "$ended" ] || { kill -9 "$APP_PID"; fail "still running 5 s after the compositor was sent SIGTERM"; }
  wait_intro
  echo "compositor ended in the $scene: display gone after ${gone:-?} ms, the intro ended after $ended ms, status $RC"
  [ "$RC" = 1 ] || fail "status $RC after the compositor ended"
  [ $((ended - ${gone:-0})) -le 1000 ] || fail "the intro ended $((ended - ${gone:-0})) ms after its display"
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
  if [ "$way" = wayland ]; then
    INTRO_MEMORY_KB=$((1200 * 1024)) start_intro_on "$way" SDL_AUDIODRIVER=tapehiss-no-audio
    wait_intro
    [ "$RC" = 1 ] && [ "$(grep -c . "$WORK/stderr.log")" = 1 ] &&
      grep -q 'the show needs about [0-9]* MB of memory$' "$WORK/stderr.log" ||
      fail "in 1200 MB natively: status $RC, said: $(cat "$WORK/stderr.log")"
    echo "natively in 1200 MB: $(own_stderr)"
  fi
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

echo "--- mutter 1920x1080, wayland"
start_mutter 1920x1080
start_intro_on wayland SDL_AUDIODRIVER=tapehiss-no-audio
move_mouse
walk_scenes 60
[ -z "$(lines_said)" ] || fail "unexpected messages: $(lines_said)"
next_setup
echo PASS
