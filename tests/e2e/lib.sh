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

cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# start_display WIDTHxHEIGHT [DEPTH]: a fresh Xvfb on a free display number.
source "$SRC/tools/xdisplay.sh"
start_display() { XVFB_LOG=$WORK/xvfb.log start_xvfb "$@"; }

# start_intro [ENV=VALUE...]: runs the intro in the background, stderr kept.
start_intro() {
  env "$@" "$EXE" >"$WORK/stdout.log" 2>"$WORK/stderr.log" &
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
  exit 1
}

# wait_for_scene NAME [SECONDS]: polls screenshots until the intro shows NAME
# (title, credits, main, end, black); fails after SECONDS (default 20).
wait_for_scene() {
  local want=$1 limit=${2:-20} start=$SECONDS seen=
  while [ $((SECONDS - start)) -lt "$limit" ]; do
    xwd -root -silent >"$WORK/wait.xwd" 2>/dev/null || true
    seen=$("$CHECK" classify "$WORK/wait.xwd" 2>/dev/null || true)
    [ "$seen" = "$want" ] && return 0
    sleep 0.1
  done
  fail "waited $limit s for the $want scene, last saw '$seen'"
}
