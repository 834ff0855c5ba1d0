# shellcheck shell=bash
# Sourced by the scripts that run the intro on a private X display.
# start_xvfb WIDTHxHEIGHT [DEPTH [ARGS...]]: a fresh Xvfb on a display number
# it picks itself (-displayfd: no other script starting one meanwhile can take
# the same), DISPLAY pointing at it and XVFB_PID its process, once it
# answers. ARGS go to Xvfb.
start_xvfb() {
  local size=$1 depth=${2:-24} log=${XVFB_LOG:-/dev/null} number_file n=
  shift $(($# < 2 ? $# : 2))
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${size}x${depth}" -nolisten tcp "$@" 3>"$number_file" >"$log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    n=$(cat "$number_file")
    [ -n "$n" ] || ! kill -0 "$XVFB_PID" 2>/dev/null && break
    sleep 0.05
  done
  rm -f "$number_file"
  if [ -z "$n" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    echo "cannot start Xvfb" >&2
    return 1
  fi
  export DISPLAY=:$n
}
