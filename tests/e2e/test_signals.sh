#!/usr/bin/env bash
# Stop signals end the run in every phase: while the tables are built (no
# window yet), on the title, the credits, in the main scene and on the end
# screen. The intro shuts SDL down (which puts a changed display mode back) and
# ends as the signal would: a shell sees 128 + the signal's number. The time
# from the signal to the end is printed; it must stay under 100 ms. The tune
# plays into SDL's disk driver, so its thread is there as with a sound card.
# A window manager runs, as on a desktop: without one, SDL waits up to 100 ms
# for the server to confirm that the window was unmapped.
source "$(dirname "$0")/lib.sh"
start_display 1280x720
start_window_manager
ms() { date +%s%3N; }

# stop_in SCENE SIGNAL: runs the intro up to SCENE, sends SIGNAL, checks the end.
stop_in() {
  local scene=$1 signal=$2 want
  want=$((128 + $(kill -l "$signal")))
  local sound=/dev/null
  [ "$scene" = opening ] && sound=$WORK/blocked.fifo
  start_intro SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$sound"
  case "$scene" in
    tables) sleep 0.05 ;;
    opening) wait_for_scene title; press; wait_for_scene credits; press; sleep 0.5 ;;
    title) wait_for_scene title ;;
    credits) wait_for_scene title; press; wait_for_scene credits ;;
    main) wait_for_scene title; press; wait_for_scene credits; press; wait_for_scene main ;;
    end) wait_for_scene title; press; wait_for_scene credits; press; wait_for_scene main; press; wait_for_scene end ;;
  esac
  local t0; t0=$(ms)
  kill -s "$signal" "$APP_PID"
  wait_intro
  local took=$(($(ms) - t0))
  echo "$scene: SIG$signal ended the run in $took ms with status $RC"
  # The opening gives up after its limit with a line: none, so it was still
  # opening when the signal came.
  [ "$scene" != opening ] || [ -z "$(own_stderr)" ] || fail "the sound was no longer opening: $(own_stderr)"
  [ "$RC" = "$want" ] || fail "SIG$signal in the $scene phase: status $RC, expected $want"
  [ "$took" -le 100 ] || fail "SIG$signal in the $scene phase took $took ms"
}

# "opening": while the sound output's opening blocks (a FIFO nobody reads).
mkfifo "$WORK/blocked.fifo"
stop_in tables TERM
stop_in opening TERM
stop_in title INT
stop_in credits TERM
stop_in main HUP
stop_in end INT
echo PASS
