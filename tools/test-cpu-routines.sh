#!/usr/bin/env bash
# The CPU routines stage: runs the tests of every plasma and logo routine built
# into an x86-64 build (only those tests, so it takes seconds): natively the
# routines this CPU has, and under `qemu-x86_64 -cpu max` those it lacks where
# the emulator offers them (Debian 12's qemu 7.2 emulates AVX2 but no AVX-512).
# Ends with where each routine ran, and names, loudly and with the reason, any
# routine that nothing here can run.
#
# Usage: tools/test-cpu-routines.sh [BUILD_DIR]   (built; default build/release)
# TAPEHISS_TEST_HIDE_ROUTINES=avx512 (names, comma-separated) makes the tests
# treat this CPU as lacking those routines, to try the stage's other paths.
set -euo pipefail -o noglob
cd "$(dirname "$0")/.."
build=${1:-build/release}
emulator=(qemu-x86_64 -cpu max)
unhidden=(env -u TAPEHISS_TEST_HIDE_ROUTINES)  # the emulated CPU lacks what it lacks

# run_routine_tests FAMILY "NAMES" [PREFIX...]: the routine tests of those of
# FAMILY's routines (plasma or logo) named in NAMES ("*" for all), run under
# the command PREFIX if one is given.
run_routine_tests() {
  local family=$1 names=$2 pattern="" n
  shift 2
  [ -n "$names" ] || return 0
  for n in $names; do pattern+="${pattern:+:}Routines/*/$n"; done
  "$@" "$build/tests/test_$family" --gtest_filter="$pattern" --gtest_brief=1 | sed '/^Running main()/d'
}

# One line per routine built in: "FAMILY NAME runs" or "FAMILY NAME skipped: REASON".
native=$("$build/tests/list_routines")
echo "== CPU routines on this CPU"
for family in plasma logo; do run_routine_tests "$family" "*"; done

declare -A where=() why=() lacking=([plasma]="" [logo]="")
while read -r family name status reason; do
  if [ "$status" = runs ]; then
    where["$family $name"]="natively"
  else
    why["$family $name"]="this CPU: $reason"
    lacking[$family]+=" $name"
  fi
done <<<"$native"

if [ -n "${lacking[plasma]}${lacking[logo]}" ]; then
  source tools/packages.sh
  need_packages qemu-user
  offered=$("${unhidden[@]}" "${emulator[@]}" "$build/tests/list_routines")
  echo "== CPU routines this CPU lacks, under ${emulator[*]}"
  for family in plasma logo; do
    emulated=""
    for name in ${lacking[$family]}; do
      read -r _ _ status reason < <(grep "^$family $name " <<<"$offered")
      if [ "$status" = runs ]; then
        emulated+=" $name"
        where["$family $name"]="under ${emulator[*]}"
      else
        why["$family $name"]+="; ${emulator[*]}: $reason"
      fi
    done
    run_routine_tests "$family" "$emulated" "${unhidden[@]}" "${emulator[@]}"
  done
else
  echo "== Nothing for ${emulator[*]}: this CPU runs every routine"
fi

echo "== CPU routines: where each ran"
skipped=0
while read -r family name _; do
  if [ -n "${where["$family $name"]:-}" ]; then
    printf '  %-6s %-7s %s\n' "$family" "$name" "${where["$family $name"]}"
  else
    printf '  %-6s %-7s SKIPPED, no stage here runs it: %s\n' "$family" "$name" "${why["$family $name"]}"
    skipped=$((skipped + 1))
  fi
done <<<"$native"
if [ "$skipped" -gt 0 ]; then
  echo "!!! $skipped CPU routine(s) SKIPPED: nothing on this machine can run them, so no test here checks them" >&2
fi
