#!/usr/bin/env bash
# No way to show anything: a video driver that cannot start, no display at all
# (SDL would fall back to a driver that shows nothing), a DISPLAY with no
# server behind it, one whose server refuses us (no authority, as after sudo),
# and too low a limit of open files. Each ends the run at once with status 1
# and exactly one line on standard error, ours, saying what was tried: the
# libraries SDL probes print nothing of their own.
source "$(dirname "$0")/lib.sh"

# A display that wants authority we do not have, and a display number with
# no server.
: >"$WORK/authority"
XAUTHORITY=$WORK/authority xauth -q add :0 . "$(mcookie)"  # the server takes every cookie in the file
XVFB_LOG=$WORK/xvfb-auth.log start_xvfb 640x480 24 -auth "$WORK/authority"
AUTH_XVFB_PID=$XVFB_PID
trap 'kill "$AUTH_XVFB_PID" 2>/dev/null; cleanup' EXIT
LOCKED_DISPLAY=$DISPLAY
start_display 1280x720
OPEN_DISPLAY=$DISPLAY
# Far above the displays in use, and not taken.
n=${DISPLAY#:}
EMPTY_DISPLAY=:$((n + 500))
[ -e /tmp/.X11-unix/X$((n + 500)) ] && fail "display $EMPTY_DISPLAY is taken"

# expect_refusal LINE FILES ENV...: the intro, with at most FILES open files
# and ENV, refuses with LINE as its only line on stderr.
expect_refusal() {
  local line=$1 files=$2
  shift 2
  local t0=$SECONDS
  RC=0
  (
    # Only the standard streams open, whatever the caller left open to us.
    for fd in /proc/$BASHPID/fd/*; do
      fd=${fd##*/}
      [ "$fd" -gt 2 ] && eval "exec $fd>&-" 2>/dev/null
    done
    ulimit -n "$files" && exec env "$@" "$EXE"
  ) >"$WORK/stdout.log" 2>"$WORK/stderr.log" || RC=$?
  [ "$RC" = 1 ] || fail "exit status $RC for: $*"
  [ "$(wc -l <"$WORK/stderr.log")" = 1 ] || fail "expected one line on stderr for: $*"
  grep -q "^$line" "$WORK/stderr.log" || fail "the line does not say '$line'"
  [ ! -s "$WORK/stdout.log" ] || fail "something was printed on stdout"
  [ $((SECONDS - t0)) -le 2 ] || fail "refusing took $((SECONDS - t0)) s"
  cat "$WORK/stderr.log"
}
none=(-u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u XDG_RUNTIME_DIR SDL_AUDIODRIVER=tapehiss-no-audio)
files=$(ulimit -n)
expect_refusal "tapehiss: SDL_Init failed: " "$files" \
  SDL_VIDEODRIVER=tapehiss-no-such-driver SDL_AUDIODRIVER=tapehiss-no-audio
expect_refusal "tapehiss: no display found: run it from a desktop session" "$files" "${none[@]}"
expect_refusal "tapehiss: cannot open the X display '$EMPTY_DISPLAY' (DISPLAY): no X server is running there;" \
  "$files" "${none[@]}" DISPLAY="$EMPTY_DISPLAY"
expect_refusal "tapehiss: cannot open the X display '$LOCKED_DISPLAY' (DISPLAY): the X server there refused" \
  "$files" "${none[@]}" DISPLAY="$LOCKED_DISPLAY" XAUTHORITY=/dev/null
expect_refusal "tapehiss: cannot open the X display '$OPEN_DISPLAY' (DISPLAY): too many files are open" \
  4 "${none[@]}" DISPLAY="$OPEN_DISPLAY"
expect_refusal "tapehiss: cannot reach the Wayland display 'tapehiss-none' (WAYLAND_DISPLAY): no compositor" \
  "$files" "${none[@]}" WAYLAND_DISPLAY=tapehiss-none XDG_RUNTIME_DIR="$WORK"
echo PASS
