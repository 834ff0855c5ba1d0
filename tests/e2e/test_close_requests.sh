#!/usr/bin/env bash
# Requests to quit (SDL turns SIGINT and SIGTERM into the same event as a
# window-close request) in every scene change nothing: each scene stays up and
# only key presses move the run on; the exit status is 0.
source "$(dirname "$0")/lib.sh"
start_display 1280x720
start_intro SDL_AUDIODRIVER=tapehiss-no-audio
scene() { shot now; "$CHECK" classify "$WORK/now.xwd"; }
expect_scene_survives() {
  local want=$1
  [ "$(scene)" = "$want" ] || fail "expected the $want scene, saw $(scene)"
  kill -INT "$APP_PID"; sleep 0.3
  kill -TERM "$APP_PID"; sleep 0.7
  kill -0 "$APP_PID" 2>/dev/null || fail "the intro ended on a quit request in the $want scene"
  [ "$(scene)" = "$want" ] || fail "the $want scene did not stay after quit requests"
}
wait_for_scene title
expect_scene_survives title
press; wait_for_scene credits
expect_scene_survives credits
press; wait_for_scene main
expect_scene_survives main
press; wait_for_scene end
expect_scene_survives end
press
wait_intro
[ "$RC" = 0 ] || fail "exit status $RC"
echo PASS
