#!/usr/bin/env bash
# Cross-builds the intro and its unit tests for arm64 and runs the tests under
# qemu-aarch64. There only the plain passes exist, so the golden frames and the
# table tests show that they give the same pixels as on x86-64. Installs what
# it needs from Debian (arm64 as a second architecture). The end-to-end tests
# (Xvfb) and the long whole-run flow tests, which exercise no code that
# differs between the two machines, are left out to keep the emulated run short.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 "$@"; }

update=no
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $sudo dpkg --add-architecture arm64
  update=yes
fi
pkgs=(cmake make pkg-config g++-aarch64-linux-gnu qemu-user
      libsdl2-dev:arm64 libsdl2-mixer-dev:arm64 libpng-dev:arm64 libgtest-dev:arm64)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  update=yes
fi
if [ "$update" = yes ]; then apt_get update -qq; fi
if [ ${#missing[@]} -gt 0 ]; then apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; fi

jobs=$(nproc)
cmake -S . -B build/arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DTAPEHISS_BENCH=OFF -DTAPEHISS_WERROR="${TAPEHISS_WERROR:-ON}" >/dev/null
cmake --build build/arm64 -j"$jobs"
echo "arm64 unit tests under qemu-aarch64:"
ctest --test-dir build/arm64 --output-on-failure -j"$jobs" -L unit --timeout 900 \
  -E '^Flow\.(DummyDriverWholeRun|UnattendedRunKeepsTheSceneLengths)$|^EndScreenFlow\.AllCyclesShown'
