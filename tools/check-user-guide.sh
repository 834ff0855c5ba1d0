#!/usr/bin/env bash
# The README's user guide (TAPEHISS.TXT in the release is made from it)
# states the facts as the show and its builds have them: the memory it
# needs, on the desktop and in a browser, and the C library's floor.
# Usage: tools/check-user-guide.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/facts.sh
source tools/linux-common.sh
load_facts "$1"
# One line, single blanks: the text is wrapped.
guide=$(python3 tools/user_guide.py README.md | tr -s ' \n' '  ')
status=0
for want in "about $FACT_SHOW_MEMORY_MB MB of free memory" "about $FACT_WEB_SHOW_MEMORY_MB MB of memory" \
  "library $glibc_floor or later ($glibc_floor_systems)" "version GLIBC_$glibc_floor is not found"; do
  grep -qF "$want" <<<"$guide" || { echo "the user guide does not say: $want"; status=1; }
done
exit $status
