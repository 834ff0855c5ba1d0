# shellcheck shell=bash
# Sourced by the scripts that run the intro on a private X display.
# start_xvfb WIDTHxHEIGHT [DEPTH]: a fresh Xvfb on a free display number,
# DISPLAY pointing at it and XVFB_PID its process, once it answers.
start_xvfb() {
  local size=$1 depth=${2:-24} n log=${XVFB_LOG:-/dev/null}
  for n in $(seq 90 190); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 "${size}x${depth}" -nolisten tcp >"$log" 2>&1 &
    XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do
      xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null || true
  done
  echo "cannot start Xvfb" >&2
  return 1
}
