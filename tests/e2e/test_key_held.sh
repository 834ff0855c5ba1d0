#!/usr/bin/env bash
# A key held down from the moment the title shows: its auto-repeat presses end the title, the
# credits, the main scene and the end screen in turn; status 0.
source "$(dirname "$0")/lib.sh"
start_display 1280x720
start_intro SDL_AUDIODRIVER=tapehiss-no-audio
wait_for_scene title
xdotool keydown space
t0=$SECONDS
while kill -0 "$APP_PID" 2>/dev/null && [ $((SECONDS - t0)) -lt 40 ]; do
  sleep 0.2
done
xdotool keyup space
kill -0 "$APP_PID" 2>/dev/null && fail "the intro was still running $((SECONDS - t0)) s after the key went down"
wait_intro
[ "$RC" = 0 ] || fail "exit status $RC"
echo "ended $((SECONDS - t0)) s after the key went down"
echo PASS
