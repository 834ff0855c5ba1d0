#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: unit, flow
# and end-to-end tests on a release build (among them the self-contained
# executable in bare Debian roots), then the unit and flow tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the tests of every
# x86-64 plasma and logo routine (under emulation those this CPU lacks), then
# the Windows build cross-compiled and run under Wine, then the unit tests of
# an arm64 build and its self-contained executable in bare roots under
# emulation, then the web build (golden frames in wasm under node, the show
# in headless chromium), then the release's files, each tried as a new user
# would. Warnings are errors unless TAPEHISS_WERROR=OFF is set.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
t_start=$SECONDS
t_stage=$SECONDS
# stage_done NAME: how long the stage that just ended took.
stage_done() {
  echo "=== stage '$1' passed in $((SECONDS - t_stage)) s"
  t_stage=$SECONDS
}

bash tools/setup-deps.sh test

# Every script the tests run, checked for the mistakes shellcheck finds.
shellcheck -x -P SCRIPTDIR -S warning tools/*.sh tests/e2e/*.sh .ci/run
stage_done set-up

werror="-DTAPEHISS_WERROR=${TAPEHISS_WERROR:-ON}"

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release "$werror" >/dev/null
cmake --build build/release -j"$jobs"
stage_done 'release build'
# The assets measured as their makers promise (loudness, balance, the tape,
# the logo's contrast and outlines, the title's paint), and the makers'
# own self-checks; the generators' packages (numpy, Pillow, lame, sox,
# ffmpeg, a font).
bash tools/setup-deps.sh all
/usr/bin/python3 tools/make_music.py --selftest
/usr/bin/python3 tools/check_assets.py
stage_done assets
# The self-contained executable and its .deb, and the bare Debian roots that
# the release stage tries them in (libraries and roots cached outside the tree).
bash tools/build-linux.sh x86_64
bash tools/bare-roots.sh x86_64
# The whole run on the dummy driver is there for the sanitizers below.
ctest --test-dir build/release --output-on-failure -j"$jobs" --timeout 900 -E 'Flow.DummyDriverWholeRun'
# What the end-to-end runs measured (ctest keeps every test's output there).
echo "Figures of the end-to-end runs:"
grep -hE '^(display |processor use|machine over|the machine was busy|[a-z]+: SIG[A-Z]+ ended|sound opened: .*: ended)' \
  build/release/Testing/Temporary/LastTest.log || true
stage_done 'release tests'

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAPEHISS_SANITIZE=ON -DTAPEHISS_BENCH=OFF "$werror" >/dev/null
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure -j"$jobs" -L unit --timeout 900 -E 'Flow.UnattendedRunKeepsTheSceneLengths'
stage_done sanitizers

# Every plasma and logo routine of the release build: natively those this CPU
# has, under qemu-x86_64 -cpu max those it lacks; any that nothing here can
# run is named as skipped.
bash tools/test-cpu-routines.sh build/release
stage_done 'CPU routines'

# The Windows build (SDL2/SDL2_mixer are built once into a cache outside the
# tree) under Wine, its screenshots checked against the Linux drawings.
bash tools/build-windows.sh
bash tools/test-windows.sh build/windows/tapehiss.exe build/release
stage_done Windows

# The arm64 build, where only the plain passes exist, under qemu-aarch64:
# its unit tests, then the self-contained executable in bare Debian roots.
bash tools/test-arm64.sh
stage_done arm64

# The web build (SDL2/SDL2_mixer/GoogleTest for wasm are built once into a
# cache outside the tree): golden frames in wasm under node, then the show in
# headless chromium, its screenshots checked against the Linux drawings.
bash tools/build-web.sh
bash tools/test-web.sh build/web build/release
stage_done web

# The release's files made from these builds, each unpacked or installed and
# run as a new user would (tools/make-release.sh says how).
bash tools/make-release.sh
stage_done 'release files'
echo "=== every stage passed, in $((SECONDS - t_start)) s"
