#!/usr/bin/env bash
# The process's surroundings, on the real executable: closed standard
# streams, a reader of standard error that goes away, the system's clock set
# back or forward mid-run, a sound output whose opening blocks, and too little
# memory. In each the show must go on (or refuse with one line and status 1),
# never freeze, never die of a signal.
source "$(dirname "$0")/lib.sh"
start_display 1280x720

# walk_scenes: presses a key in each scene, checks the run then ends with 0.
walk_scenes() {
  local what=$1
  wait_for_scene title; press
  wait_for_scene credits; press
  wait_for_scene main; press
  wait_for_scene end; press
  local t0=$SECONDS
  while kill -0 "$APP_PID" 2>/dev/null && [ $((SECONDS - t0)) -lt 10 ]; do sleep 0.1; done
  kill -0 "$APP_PID" 2>/dev/null && fail "$what: still running 10 s after the last key"
  wait_intro
  [ "$RC" = 0 ] || fail "$what: exit status $RC"
  echo "$what: every scene shown, exit 0"
}

# Closed standard error, then all three: a later file (the display
# connection) must not take their numbers and get our lines written into it.
SDL_AUDIODRIVER=tapehiss-no-such-driver "$EXE" 2>&- &
APP_PID=$!
walk_scenes "standard error closed, no sound device"
export SDL_AUDIODRIVER=tapehiss-no-audio
"$EXE" 2>&- &
APP_PID=$!
walk_scenes "standard error closed"
"$EXE" <&- >&- 2>&- &
APP_PID=$!
walk_scenes "every standard stream closed"

# A reader of standard error that goes away: the line written when the main
# scene starts (no sound) must not end the show.
"$EXE" 2> >(head -c0) >/dev/null &
APP_PID=$!
walk_scenes "standard error into a closed pipe"

# The system's clock set back an hour during the title, then forward two
# during the main scene: the title keeps its 5-6 s, and the tune (whose end
# would otherwise seem long past) still leads into the end screen.
faketime_lib=$(find /usr/lib -name libfaketime.so.1 2>/dev/null | head -1)
[ -n "$faketime_lib" ] || fail "libfaketime is not installed"
# start_on_a_set_clock WHICH: the intro on libfaketime, its clock moved by
# what $WORK/clock says (now +0): the system's date alone (WHICH=date), or
# the monotonic clock too (WHICH=monotonic).
start_on_a_set_clock() {
  local date_only=0
  [ "$1" = date ] && date_only=1
  echo "+0" >"$WORK/clock"
  start_intro LD_PRELOAD="$faketime_lib" FAKETIME_TIMESTAMP_FILE="$WORK/clock" FAKETIME_NO_CACHE=1 \
    FAKETIME_DONT_FAKE_MONOTONIC=$date_only SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/audio.raw"
}
# end_screen_stays WHAT: the end screen up, it is still up 2 s later; then
# a key ends the run with status 0.
end_screen_stays() {
  sleep 2
  shot stays
  [ "$("$CHECK" classify "$WORK/stays.xwd")" = end ] || fail "$1: the end screen went"
  press
  wait_intro
  [ "$RC" = 0 ] || fail "$1: exit status $RC"
}
start_on_a_set_clock date
wait_for_scene title
t0=$(date +%s.%N)
echo "-3600" >"$WORK/clock"
wait_for_scene credits 10
title_s=$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
awk -v t="$title_s" 'BEGIN { exit !(t >= 4.5 && t <= 6.6) }' || fail "title lasted $title_s s with the clock set back"
press
wait_for_scene main
echo "+7200" >"$WORK/clock"
sleep 2
press
wait_for_scene end
end_screen_stays "the clock set forward"
echo "clock set back an hour in the title: it lasted $title_s s; set forward in the main scene: the end screen came and stayed"

# A pause: the monotonic clock itself two hours on in the main scene, as
# after the process was stopped that long (SIGSTOP) or the machine slept.
# The main scene's time is up, and the tune, held up with the show, still
# leads into a whole end screen.
start_on_a_set_clock monotonic
wait_for_scene title; press
wait_for_scene credits; press
wait_for_scene main
echo "+7200" >"$WORK/clock"
wait_for_scene end 5
end_screen_stays "a pause"
echo "two hours' pause in the main scene: the end screen came and stayed"

# A sound output whose opening blocks for good: SDL's disk driver opening a
# FIFO that nobody reads. After at most 2 s the show goes on without sound.
mkfifo "$WORK/blocked.fifo"
start_intro SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/blocked.fifo"
wait_for_scene title; press
wait_for_scene credits; press
t0=$(date +%s.%N)
wait_for_scene main 6
main_after=$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
awk -v t="$main_after" 'BEGIN { exit !(t <= 4) }' || fail "the main scene came $main_after s after the credits' key"
press; wait_for_scene end; press
wait_intro
[ "$RC" = 0 ] || fail "blocked sound output: exit status $RC"
[ "$(own_stderr)" = "tapehiss: running without sound: the sound output did not open within 2 seconds" ] ||
  fail "blocked sound output: said $(own_stderr)"
echo "sound output that never opens: the main scene came $main_after s after the key, one line, exit 0"

# Too little memory, in the band where the start-up allocations begin to
# succeed: each run refuses with one line naming what could not be had and
# what the show needs, or runs; nothing aborts. The band is found by halving
# between a limit that surely fails and one that surely runs.
unset SDL_AUDIODRIVER
run_limited() {  # run_limited KB: status of a run under that address-space limit
  local rc=0
  (ulimit -v "$1"; SDL_AUDIODRIVER=dummy exec timeout 1.5 "$EXE") >"$WORK/oom.out" 2>&1 || rc=$?
  echo "$rc"
}
lo=$((400 * 1024)) hi=$((1200 * 1024))
[ "$(run_limited $lo)" = 1 ] || fail "a run in 400 MB did not refuse"
[ "$(run_limited $hi)" = 124 ] || fail "a run in 1200 MB did not start: $(cat "$WORK/oom.out")"
while [ $((hi - lo)) -gt 1024 ]; do
  mid=$(((lo + hi) / 2))
  if [ "$(run_limited $mid)" = 1 ]; then lo=$mid; else hi=$mid; fi
done
declare -A outcomes=()
for kb in $(seq $((hi - 3072)) 256 $((hi + 2048))); do
  rc=$(run_limited "$kb")
  case "$rc" in
    124) outcomes[runs]=$((${outcomes[runs]:-0} + 1)) ;;
    1)
      lines=$(grep -c . "$WORK/oom.out" || true)
      line=$(grep '^tapehiss:' "$WORK/oom.out" || true)
      [ "$lines" = 1 ] && [[ "$line" == *"the show needs about "*" MB of memory" ]] ||
        fail "$kb KB: refused without the one line: $(cat "$WORK/oom.out")"
      what=${line#tapehiss: }
      what=${what%%:*}
      outcomes[$what]=$((${outcomes[$what]:-0} + 1)) ;;
    *) fail "$kb KB: status $rc: $(cat "$WORK/oom.out")" ;;
  esac
done
printf 'address-space limits around %d KB:' "$hi"
for k in "${!outcomes[@]}"; do printf ' %s x%d;' "$k" "${outcomes[$k]}"; done
echo
echo PASS
