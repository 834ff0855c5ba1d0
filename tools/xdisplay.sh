# shellcheck shell=bash
# Sourced by the scripts that run the intro on a private X display.
# start_xvfb WIDTHxHEIGHT [DEPTH [ARGS...]]: a fresh Xvfb on a free display
# number from :90 up (clear of the low numbers compositors give their
# Xwayland), DISPLAY pointing at it and XVFB_PID its process, once a client
# has been served there. A number another script takes meanwhile makes our
# server give up; it is ours only when its lock names our server. ARGS go to
# Xvfb (a server that wants authority is taken once it listens). The server
# never resets: by default an X server resets when its last client leaves
# (a screenshot, say), and a client connecting just then is refused (two
# clients started together failed 78 times in 3000 so, none with -noreset).
# A desktop's server, which always has clients, never does that.
start_xvfb() {
  local size=$1 depth=${2:-24} log=${XVFB_LOG:-/dev/null} n
  shift $(($# < 2 ? $# : 2))
  for n in $(seq 90 190); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 "${size}x${depth}" -nolisten tcp -noreset "$@" >"$log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
      kill -0 "$XVFB_PID" 2>/dev/null || break
      if [ -S "/tmp/.X11-unix/X$n" ] && [ "$(cat "/tmp/.X$n-lock" 2>/dev/null | tr -dc 0-9)" = "$XVFB_PID" ] &&
        { [[ " $* " == *" -auth "* ]] || xdpyinfo -display ":$n" >/dev/null 2>&1; }; then
        export DISPLAY=:$n
        return 0
      fi
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null || true
  done
  echo "cannot start Xvfb" >&2
  return 1
}
