#!/usr/bin/env bash
# A video driver that cannot start: one line on standard error naming the
# failed call, status 1, nothing else.
source "$(dirname "$0")/lib.sh"
start_intro SDL_VIDEODRIVER=tapehiss-no-such-driver SDL_AUDIODRIVER=tapehiss-no-audio
wait_intro
[ "$RC" = 1 ] || fail "exit status $RC"
[ "$(wc -l <"$WORK/stderr.log")" = 1 ] || fail "expected one line on stderr"
grep -q '^tapehiss: SDL_Init failed: ' "$WORK/stderr.log" || fail "the line does not name SDL_Init"
[ ! -s "$WORK/stdout.log" ] || fail "something was printed on stdout"
echo PASS
