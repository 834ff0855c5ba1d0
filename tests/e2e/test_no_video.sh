#!/usr/bin/env bash
# No way to show anything: a video driver that cannot start, or no display at
# all (SDL would fall back to a driver that shows nothing). Each ends the run
# at once with one line of ours on standard error saying why, and status 1.
source "$(dirname "$0")/lib.sh"
expect_refusal() {
  local line=$1; shift
  local t0=$SECONDS
  start_intro "$@"
  wait_intro
  [ "$RC" = 1 ] || fail "exit status $RC for: $*"
  [ "$(own_stderr | wc -l)" = 1 ] || fail "expected one line of ours on stderr for: $*"
  own_stderr | grep -q "^$line" || fail "the line does not say '$line'"
  [ ! -s "$WORK/stdout.log" ] || fail "something was printed on stdout"
  [ $((SECONDS - t0)) -le 2 ] || fail "refusing took $((SECONDS - t0)) s"
  own_stderr
}
expect_refusal 'tapehiss: SDL_Init failed: ' SDL_VIDEODRIVER=tapehiss-no-such-driver SDL_AUDIODRIVER=tapehiss-no-audio
expect_refusal 'tapehiss: no display found' -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=tapehiss-no-audio
echo PASS
