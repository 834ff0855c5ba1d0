#!/usr/bin/env bash
# Unattended whole run with SDL's disk audio driver: scene lengths, pace,
# processor use per scene, exit status, and the captured tune ending in a fade
# to silence.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/whole_run.sh"
whole_run SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/audio.raw"
expect_idle_when_idle
[ -z "$(own_stderr)" ] || fail "unexpected messages: $(own_stderr)"
"$CHECK" fade "$WORK/audio.raw" || fail "the captured tune does not end in a fade-out"
# TAPEHISS_E2E_KEEP=DIR keeps the captured sound (S16LE stereo 44.1 kHz) there.
[ -z "${TAPEHISS_E2E_KEEP:-}" ] || cp "$WORK/audio.raw" "$TAPEHISS_E2E_KEEP/whole-run-audio.raw"
echo PASS
