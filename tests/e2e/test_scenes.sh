#!/usr/bin/env bash
# The real executable under Xvfb at 1280 x 720: the title is the title picture
# pixel for pixel, the credits equal the same screen drawn in memory by the
# intro's own routines (logo at (200, 200), five red lines), key presses move on
# through the main scene and the end screen, the tune is heard from the start
# of the main scene, and the run exits with status 0.
source "$(dirname "$0")/lib.sh"
start_display 1280x720
start_intro SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/audio.raw"

wait_for_scene title
sleep 0.5
shot title
"$CHECK" title "$WORK/title.xwd" || fail "title screen"

press
wait_for_scene credits
shot credits
"$CHECK" credits "$WORK/credits.xwd" || fail "credits screen"

press
wait_for_scene main
sleep 2
shot main
"$CHECK" main "$WORK/main.xwd" || fail "main scene"

press
wait_for_scene end
shot end
"$CHECK" end "$WORK/end.xwd" || fail "end screen"

# The tune runs on through the end screen; once 4 s of it are captured, each
# of those seconds must be audible.
for _ in $(seq 100); do
  [ "$(stat -c %s "$WORK/audio.raw" 2>/dev/null || echo 0)" -ge $((4 * 44100 * 4)) ] && break
  sleep 0.2
done
"$CHECK" audio "$WORK/audio.raw" 4 || fail "the tune is not heard from the start of the main scene"

press
wait_intro
[ "$RC" = 0 ] || fail "exit status $RC"
[ -z "$(own_stderr)" ] || fail "unexpected messages: $(own_stderr)"
echo "PASS"
