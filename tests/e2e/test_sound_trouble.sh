#!/usr/bin/env bash
# A sound output that is slow, stalls or never opens never keeps the show
# from ending. SDL's disk driver writes into a FIFO, which stands in for a
# device: nobody opens it (the open blocks for good), somebody opens it late
# (0.5 s or 1.9 s after the open began, beside the 2 s the show waits) and
# then reads it or never does, or it is held open from the start and never
# read (the mixer's thread blocks in its first writes). In each, every way
# out ends the run: keys (two of them 0.1 s after the main scene starts, or
# one in the end screen) within a second, status 0; a stop signal while the
# sound opens, in the main scene and in the end screen within 100 ms, with
# the signal's status (test_signals.sh has the scenes before the sound). A
# window manager runs, as on a desktop: without one, SDL waits up to 100 ms
# for the server to confirm that the window was unmapped.
source "$(dirname "$0")/lib.sh"
start_display 1280x720
start_window_manager
trap 'end_reader; cleanup' EXIT
ms() { date +%s%3N; }
FIFO=$WORK/sound.fifo
READER_PID=

# reader WHEN HOW: what the other end of the FIFO does: WHEN is "never",
# "start" or a delay in seconds after the call; HOW is "hold" (opens it and
# never reads) or "read" (reads it into $WORK/heard.raw).
reader() {
  local when=$1 how=${2:-hold}
  rm -f "$FIFO" "$WORK/heard.raw"
  mkfifo "$FIFO"
  READER_PID=
  [ "$when" = never ] && return 0
  if [ "$how" = read ]; then
    (sleep "${when/start/0}"; exec cat "$FIFO" >"$WORK/heard.raw") &
  else
    (sleep "${when/start/0}"; exec 3<>"$FIFO"; exec sleep 600) &
  fi
  READER_PID=$!
  # Held open from the start: the reader is there before the show looks.
  if [ "$when" = start ] && [ "$how" = hold ]; then
    while [ ! -e "/proc/$READER_PID/fd/3" ]; do sleep 0.01; done
  fi
}

end_reader() {
  [ -z "$READER_PID" ] || kill "$READER_PID" 2>/dev/null || true
  [ -z "$READER_PID" ] || wait "$READER_PID" 2>/dev/null || true
  READER_PID=
}

# up_to SCENE OPEN_AT HOW: the show started on the FIFO and walked by keys up
# to SCENE (title, credits, opening, main, end); the reader's clock starts
# with the key that ends the credits, which starts the open.
up_to() {
  local scene=$1 when=$2 how=$3
  reader never
  start_intro SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$FIFO"
  wait_for_scene title 30
  [ "$scene" = title ] && { reader "$when" "$how"; return 0; }
  press
  wait_for_scene credits
  [ "$scene" = credits ] && { reader "$when" "$how"; return 0; }
  # The FIFO is made again at the moment the open begins, as a device would
  # (a file the show looks for only then).
  reader "$when" "$how"
  press
  [ "$scene" = opening ] && { sleep 0.5; return 0; }
  wait_for_scene main
  [ "$scene" = main ] && return 0
  press
  wait_for_scene end
}

# ends_within MS STATUS WHAT: the show must end within MS of now with STATUS.
ends_within() {
  local bound=$1 want=$2 what=$3 t0 took
  t0=$(ms)
  wait_intro
  took=$(($(ms) - t0))
  echo "$what: ended in $took ms with status $RC"
  [ "$RC" = "$want" ] || fail "$what: status $RC, expected $want"
  [ "$took" -le "$bound" ] || fail "$what: took $took ms (bound $bound)"
}

# The sound setups: when the reader opens the FIFO, and what it does then.
setups=("never -" "0.5 hold" "1.9 hold" "start hold")
for setup in "${setups[@]}"; do
  read -r when how <<<"$setup"
  name="sound opened: $when${how/-/}"
  name=${name/hold/, held, never read}
  # Two keys 0.1 s after the main scene starts: to the end screen, then out.
  up_to main "$when" "$how"
  press; sleep 0.1; press
  ends_within 1000 0 "$name, two keys in the main scene"
  end_reader
  # A key in the end screen.
  up_to end "$when" "$how"
  press
  ends_within 1000 0 "$name, a key in the end screen"
  [ "$when" != never ] || grep -qx 'tapehiss: running without sound: the sound output did not open within 2 seconds' \
    "$WORK/stderr.log" || fail "$name: no line that the show went on silently: $(own_stderr)"
  end_reader
done

# A stop signal in every scene, with the open never answered and with a
# device that stalls.
for setup in "never -" "start hold"; do
  read -r when how <<<"$setup"
  for scene in opening main end; do
    [ "$scene" != opening ] || [ "$when" = never ] || continue
    up_to "$scene" "$when" "$how"
    kill -TERM "$APP_PID"
    ends_within 100 143 "sound opened: ${when/start/start, held, never read}, SIGTERM in the $scene scene"
    end_reader
  done
done

# Two keys in the credits, 0.1 s apart, while the sound then never opens:
# each counts, so the main scene that follows the 2 s wait ends at once.
up_to credits never -
press; sleep 0.1; press
t0=$(ms)
wait_for_scene end 6
echo "sound opened: never, two keys in the credits: the end screen after $(($(ms) - t0)) ms"
press
ends_within 1000 0 "sound opened: never, two keys in the credits, then one in the end screen"

# What works stays: a device that opens within the limit joins in.
up_to main 0.5 read
sleep 1
press; sleep 0.1; press
ends_within 1000 0 "sound opened: 0.5, read, two keys in the main scene"
end_reader
[ -z "$(own_stderr)" ] || fail "a device that opened within the limit: $(own_stderr)"
[ "$(stat -c %s "$WORK/heard.raw")" -gt 44100 ] || fail "a device that opened within the limit heard nothing"
echo PASS
