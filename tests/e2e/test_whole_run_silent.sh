#!/usr/bin/env bash
# Unattended whole run without any audio device, while two other processes
# keep both cores busy: one warning line, the same scene timing and pace,
# exit status 0.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/whole_run.sh"
RUN_HOGS=2 whole_run SDL_AUDIODRIVER=tapehiss-no-audio
msg=$(own_stderr)
[ "$(printf '%s\n' "$msg" | grep -c '^tapehiss: running without sound: ')" = 1 ] && [ "$(printf '%s\n' "$msg" | wc -l)" = 1 ] ||
  fail "expected one warning line, got: $msg"
echo PASS
