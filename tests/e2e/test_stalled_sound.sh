#!/usr/bin/env bash
# A sound device that stops taking samples: SDL's disk driver writes into a
# FIFO that is held open but never read, so the mixer's thread blocks and the
# mixer goes on reporting the tune as playing. The tune's own clock ends it
# anyway: the end screen closes about a second and a half after its fade was
# asked for, and the run exits 0 instead of hanging on the blocked thread.
source "$(dirname "$0")/lib.sh"
start_display 1280x720
mkfifo "$WORK/stalled.fifo"
exec 3<>"$WORK/stalled.fifo"  # a reader that never reads
start_intro SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/stalled.fifo"
wait_for_scene title; press
wait_for_scene credits; press
wait_for_scene main; press
wait_for_scene end
t0=$SECONDS
while kill -0 "$APP_PID" 2>/dev/null && [ $((SECONDS - t0)) -lt 60 ]; do sleep 0.2; done
kill -0 "$APP_PID" 2>/dev/null && fail "the end screen was still running $((SECONDS - t0)) s after it began"
wait_intro
echo "the end screen closed after $((SECONDS - t0)) s, status $RC"
[ "$RC" = 0 ] || fail "exit status $RC"
[ $((SECONDS - t0)) -le 35 ] || fail "the end screen lasted $((SECONDS - t0)) s"
echo PASS
