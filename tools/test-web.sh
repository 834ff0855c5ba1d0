#!/usr/bin/env bash
# Tests the web build: the golden frames computed by a wasm build of the
# golden-frame test under node must equal the recorded (native) ones; then the
# show runs in Debian's headless chromium, driven through puppeteer-core
# (pinned in tests/web/package-lock.json, installed with npm) and served from
# 127.0.0.1 (tests/web/show.mjs): a walk through the scenes with keys, its
# screenshots checked by shot_check against the native drawing, in a full
# and in a small window; browsers that
# give the page too little memory or just enough; one unattended run to its
# end.
# Usage: tools/test-web.sh [web-dir] [linux-build-dir]
#        (defaults build/web and build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
web=$(realpath "${1:-build/web}")
linux_build=$(realpath "${2:-build/release}")
t0=$SECONDS

source tools/packages.sh
need_packages chromium
source tools/web-env.sh
[ -f "$web/tapehiss.wasm" ] || { echo "no $web/tapehiss.wasm: run tools/build-web.sh first" >&2; exit 1; }
cmake --build "$linux_build" --target shot_check >/dev/null

work=$(mktemp -d /tmp/tapehiss-web.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "Golden frames computed in wasm under node:"
bash tools/build-web.sh --tests build/web-tests >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }
web_node build/web-tests/tests/test_golden.js --gtest_brief=1

deps=build/web-node
web_test_deps "$deps"

for mode in walk small memory unattended; do
  echo "Headless chromium, $mode:"
  if [ "$mode" = memory ]; then
    # Browsers that give the page less than it needs, and one that gives
    # just enough: a clear message, or the whole show; never a false end.
    for mb in 256 670 700 760; do
      node "$deps/show.mjs" memory "$web" "$work" "$linux_build/tests/shot_check" "$mb"
    done
    continue
  fi
  node "$deps/show.mjs" "$mode" "$web" "$work" "$linux_build/tests/shot_check"
done
echo "PASS: the web build in node and headless chromium, $((SECONDS - t0)) s"
