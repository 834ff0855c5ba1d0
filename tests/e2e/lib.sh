# shellcheck shell=bash
# Shared by the end-to-end scripts: a private Xvfb display, screenshots and key
# presses. Sourced with EXE, SRC and BUILD set (the script's three arguments).
set -euo pipefail
EXE=$1
SRC=$2
BUILD=$3
CHECK=$BUILD/tests/shot_check
WORK=$(mktemp -d /tmp/tapehiss-e2e.XXXXXX)
XVFB_PID=
APP_PID=
WM_PID=

cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  # The next script finds the display numbers as a fresh machine would.
  [ -z "$XVFB_PID" ] || wait "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# start_display WIDTHxHEIGHT [DEPTH]: a fresh Xvfb on a free display number.
source "$SRC/tools/xdisplay.sh"
start_display() { XVFB_LOG=$WORK/xvfb.log start_xvfb "$@"; }

# start_window_manager: openbox on the display, once it says (on the root
# window) that it manages windows.
start_window_manager() {
  openbox >/dev/null 2>&1 &
  WM_PID=$!
  for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.05
  done
  fail "the window manager did not start"
}

stop_window_manager() {
  [ -z "$WM_PID" ] || kill "$WM_PID" 2>/dev/null || true
  [ -z "$WM_PID" ] || wait "$WM_PID" 2>/dev/null || true
  WM_PID=
}

# stop_display: the Xvfb started last goes.
stop_display() {
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
}

# start_intro [ENV=VALUE...]: runs the intro in the background, stderr kept;
# under an address-space limit of INTRO_MEMORY_KB when that is set.
start_intro() {
  (
    [ -z "${INTRO_MEMORY_KB:-}" ] || ulimit -v "$INTRO_MEMORY_KB"
    exec env "$@" "$EXE"
  ) >"$WORK/stdout.log" 2>"$WORK/stderr.log" &
  APP_PID=$!
}

# wait_intro: waits for the intro to end; its exit status lands in RC.
# shellcheck disable=SC2034  # RC is read by the scripts that source this
wait_intro() {
  RC=0
  wait "$APP_PID" || RC=$?
  APP_PID=
}

shot() { xwd -root -silent >"$WORK/$1.xwd"; }
press() { xdotool key "${1:-space}"; }

# Our own lines on stderr (SDL's disk audio driver prints its own warnings).
own_stderr() { grep '^tapehiss:' "$WORK/stderr.log" || true; }

fail() {
  echo "FAIL: $*" >&2
  echo "--- stderr of the intro:" >&2
  cat "$WORK/stderr.log" >&2 || true
  if [ -s "$WORK/xvfb.log" ]; then
    echo "--- the X server's log:" >&2
    tail -20 "$WORK/xvfb.log" >&2
  fi
  exit 1
}

# scene_shown NAME [SECONDS]: polls screenshots until the intro shows NAME
# (title, credits, main, end, black); fails (status 1) as soon as the intro
# has ended, or after SECONDS (default 20). What it saw last is in SEEN.
scene_shown() {
  local want=$1 limit=${2:-20} start=$SECONDS
  SEEN=
  while [ $((SECONDS - start)) -lt "$limit" ]; do
    xwd -root -silent >"$WORK/wait.xwd" 2>/dev/null || true
    SEEN=$("$CHECK" classify "$WORK/wait.xwd" 2>/dev/null || true)
    [ "$SEEN" = "$want" ] && return 0
    [ -z "$APP_PID" ] || kill -0 "$APP_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# wait_for_scene NAME [SECONDS]: scene_shown, or the test fails saying why.
wait_for_scene() {
  scene_shown "$@" && return 0
  if [ -n "$APP_PID" ] && ! kill -0 "$APP_PID" 2>/dev/null; then
    wait_intro
    fail "the intro ended (status $RC) while the test waited for the $1 scene, last saw '$SEEN'"
  fi
  fail "waited ${2:-20} s for the $1 scene, last saw '$SEEN'"
}

# checked_shot CHECK NAME: a shot that passes `shot_check CHECK` (title,
# credits, main-moment, end-moment...); prints what the checker says. A shot
# taken while the picture is being copied to the screen (Wine, a compositor)
# can hold parts of two, so it is taken again, twice at most; a real
# difference shows in every try.
checked_shot() {
  local check=$1 name=$2
  for _ in 1 2 3; do
    shot "$name"
    "$CHECK" "$check" "$WORK/$name.xwd" >"$WORK/$name.txt" 2>&1 && { cat "$WORK/$name.txt"; return 0; }
    sleep 0.1
  done
  cat "$WORK/$name.txt" >&2
  return 1
}

# walk_scenes [TITLE_WAIT]: with the intro started, a key press per scene
# walks it through title, credits, main scene and end screen, each checked
# exactly (two main-scene shots, of which the later shows a later pass), and
# the run must end with status 0. TITLE_WAIT (default 20) is how long the
# title may take to appear.
walk_scenes() {
  wait_for_scene title "${1:-20}"
  sleep 0.5
  checked_shot title title || fail "title screen"
  press space
  wait_for_scene credits
  checked_shot credits credits || fail "credits screen"
  press space
  wait_for_scene main
  sleep 1
  local first second pass1 pass2 t1 t2
  t1=$(date +%s.%N)
  first=$(checked_shot main-moment main1) || fail "first main-scene shot"
  sleep 1
  t2=$(date +%s.%N)
  second=$(checked_shot main-moment main2) || fail "second main-scene shot"
  echo "$first" | grep -v '^unscaled'
  echo "$second" | grep -v '^unscaled'
  pass1=$(grep -o 'after pass [0-9]*' <<<"$first" | awk '{print $3}')
  pass2=$(grep -o 'after pass [0-9]*' <<<"$second" | awk '{print $3}')
  [ "$pass2" -gt "$pass1" ] || fail "the main scene does not move (passes $pass1, $pass2)"
  # A rough pace (the shots take time of their own): enough to tell an
  # emulated run's from a native one's.
  awk -v a="$pass1" -v b="$pass2" -v t1="$t1" -v t2="$t2" \
    'BEGIN { printf "main scene: passes %d to %d in %.2f s between the shots, about %.1f passes/s\n", a, b, t2 - t1, (b - a) / (t2 - t1) }'
  press space
  wait_for_scene end
  checked_shot end-moment end || fail "end screen"
  "$CHECK" end "$WORK/end.xwd" || fail "end screen text and ribbons"
  press space
  wait_intro
  [ "$RC" = 0 ] || fail "exit status $RC"
}
