#!/usr/bin/env bash
# Cross-builds the intro and its unit tests for arm64 and runs the tests under
# qemu-aarch64. There only the plain passes exist, so the golden frames and the
# table tests show that they give the same pixels as on x86-64. Installs what
# it needs from Debian (arm64 as a second architecture). The end-to-end tests
# (Xvfb) and the long whole-run flow tests, which exercise no code that
# differs between the two machines, are left out to keep the emulated run short.
# Then the self-contained arm64 executable and its .deb (tools/build-linux.sh)
# in bare Debian 12 and 13 roots (tools/bare-roots.sh), every scene walked
# under qemu-aarch64 on this machine's Xvfb, checked by the release build's
# screenshot checker (built here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

source tools/packages.sh
need_foreign_arch arm64
need_packages cmake make pkg-config g++-aarch64-linux-gnu qemu-user \
  libsdl2-dev:arm64 libsdl2-mixer-dev:arm64 libpng-dev:arm64 libgtest-dev:arm64 xvfb xdotool x11-apps

jobs=$(nproc)
cmake -S . -B build/arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DTAPEHISS_BENCH=OFF -DTAPEHISS_WERROR="${TAPEHISS_WERROR:-ON}" >/dev/null
cmake --build build/arm64 -j"$jobs"
echo "arm64 unit tests under qemu-aarch64:"
# qemu-user does not pass a guest's address-space limit on to itself, so
# the test that runs out of memory under one cannot run here.
ctest --test-dir build/arm64 --output-on-failure -j"$jobs" -L unit --timeout 900 \
  -E '^(WithSound\.)?Flow\.(DummyDriverWholeRun|UnattendedRunKeepsTheSceneLengths)$|^EndScreenFlow\.AllCyclesShown|^ScreenLayout\.NoMemoryForTheScaledCopy'

bash tools/build-linux.sh aarch64
bash tools/bare-roots.sh aarch64
if [ ! -x build/release/tests/shot_check ]; then
  cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/release -j"$jobs" --target shot_check
fi
for case_ in bookworm trixie; do
  bash tests/e2e/test_bare_root.sh build/linux-aarch64/tapehiss "$PWD" build/release "$case_"
done
