# shellcheck shell=bash
# Wayland compositors nested in a private Xvfb, for the end-to-end scripts:
# weston (its x11 backend) and mutter (--nested). The compositor's window
# covers the Xvfb screen, so `shot` (xwd of the Xvfb root) sees what the
# compositor shows and `press` (xdotool on Xvfb) types into it. Each offers
# Xwayland (XWAYLAND_DISPLAY, with XWAYLAND_AUTH for mutter's authority file)
# and native Wayland (WAYLAND_SOCKET_NAME). Sourced after lib.sh.
COMPOSITOR_PID=
RUNTIME_DIR=$WORK/runtime
mkdir -m 700 "$RUNTIME_DIR"

stop_compositor() {
  if [ -n "$COMPOSITOR_PID" ]; then
    kill "$COMPOSITOR_PID" 2>/dev/null || true
    wait "$COMPOSITOR_PID" 2>/dev/null || true
  fi
  COMPOSITOR_PID=
}

# wait_for_log FILE PATTERN: waits up to 20 s for PATTERN in FILE.
wait_for_log() {
  for _ in $(seq 200); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "--- $1:" >&2
  tail -20 "$1" >&2
  fail "the compositor did not start (no '$2' in its log)"
}

# start_weston WIDTHxHEIGHT: weston 10 on its x11 backend (pixman renderer)
# with Xwayland, on a fresh Xvfb of that size.
start_weston() {
  local size=$1
  start_display "$size"
  WAYLAND_SOCKET_NAME=tapehiss-weston-$$
  XDG_RUNTIME_DIR=$RUNTIME_DIR weston --backend=x11-backend.so --width="${size%x*}" --height="${size#*x}" \
    --use-pixman --xwayland --socket="$WAYLAND_SOCKET_NAME" --no-config --idle-time=0 >"$WORK/compositor.log" 2>&1 &
  COMPOSITOR_PID=$!
  wait_for_log "$WORK/compositor.log" 'xserver listening on display'
  XWAYLAND_DISPLAY=$(grep -o 'xserver listening on display :[0-9]*' "$WORK/compositor.log" | grep -o ':[0-9]*$')
  XWAYLAND_AUTH=
  # The desktop shell draws its background and panel once it has started.
  wait_for_log "$WORK/compositor.log" 'launching .*weston-desktop-shell'
  sleep 1
}

# wait_for_xwayland_wm: weston starts Xwayland and its window manager only
# when an X client connects, and a window mapped before the manager runs
# may never be shown. So before each start of the intro a client of ours
# connects first, and the intro starts once the manager says (on the root
# window) that it manages windows.
wait_for_xwayland_wm() {
  for _ in $(seq 200); do
    DISPLAY=$XWAYLAND_DISPLAY XAUTHORITY=${XWAYLAND_AUTH:-/dev/null} xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null \
      | grep -q 'window id' && return 0
    sleep 0.05
  done
  fail "Xwayland's window manager did not start"
}

# start_mutter WIDTHxHEIGHT: mutter 43 as a nested Wayland compositor with
# Xwayland, on its own D-Bus session, on a fresh Xvfb of that size.
start_mutter() {
  local size=$1
  start_display "$size"
  WAYLAND_SOCKET_NAME=tapehiss-mutter-$$
  XDG_RUNTIME_DIR=$RUNTIME_DIR MUTTER_DEBUG_DUMMY_MODE_SPECS=$size \
    dbus-run-session -- mutter --nested --wayland --wayland-display="$WAYLAND_SOCKET_NAME" \
    >"$WORK/compositor.log" 2>&1 &
  COMPOSITOR_PID=$!
  wait_for_log "$WORK/compositor.log" 'Using public X11 display'
  XWAYLAND_DISPLAY=$(grep -o 'Using public X11 display :[0-9]*' "$WORK/compositor.log" | grep -o ':[0-9]*$')
  for _ in $(seq 100); do
    XWAYLAND_AUTH=$(ls "$RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -1)
    [ -n "$XWAYLAND_AUTH" ] && break
    sleep 0.1
  done
  [ -n "$XWAYLAND_AUTH" ] || fail "mutter made no authority file for Xwayland"
  sleep 1
}

# The process that really is the compositor (mutter runs under
# dbus-run-session, which passes no signal on).
compositor_process() {
  pgrep -P "$COMPOSITOR_PID" -x mutter 2>/dev/null || echo "$COMPOSITOR_PID"
}

# start_intro_on xwayland|wayland [ENV=VALUE...]: the intro on the
# compositor, through Xwayland or as a native Wayland client.
start_intro_on() {
  local way=$1
  shift
  if [ "$way" = xwayland ]; then
    wait_for_xwayland_wm
    start_intro -u WAYLAND_DISPLAY DISPLAY="$XWAYLAND_DISPLAY" XAUTHORITY="${XWAYLAND_AUTH:-/dev/null}" \
      XDG_RUNTIME_DIR="$RUNTIME_DIR" "$@"
  else
    start_intro -u DISPLAY WAYLAND_DISPLAY="$WAYLAND_SOCKET_NAME" XDG_RUNTIME_DIR="$RUNTIME_DIR" "$@"
  fi
}
