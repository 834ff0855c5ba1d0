#!/usr/bin/env bash
# Cross-builds tapehiss.exe for 64-bit Windows with Debian's mingw-w64.
# SDL2 and SDL2_mixer come from Debian's own source packages, built once into
# a cache outside the work tree (TAPEHISS_WIN_CACHE, default
# ~/.cache/tapehiss-windows); later runs find the stamp and skip straight to
# the intro. Everything is linked statically, so the .exe runs on a bare
# Windows with nothing beside it.
# Usage: tools/build-windows.sh [build-dir]   (default build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."
src_dir=$PWD
build_dir=${1:-build/windows}
cache=${TAPEHISS_WIN_CACHE:-$HOME/.cache/tapehiss-windows}
host=x86_64-w64-mingw32

source tools/packages.sh
source tools/cross-common.sh
jobs=$(nproc)
need_packages mingw-w64 g++-mingw-w64-x86-64-posix cmake make pkg-config dpkg-dev

build_libraries() {
  local sdl_src mixer_src
  fresh_sources

  build_sdl_static "$host" --host=$host
  # Windows keeps the mixer's WAV decoder beside MP3.
  TAPEHISS_WIN_PREFIX=$prefix build_mixer_static "$host" \
    -DCMAKE_TOOLCHAIN_FILE="$src_dir/cmake/mingw-w64.cmake" -DSDL2MIXER_WAVE=ON
}

# The stamp names the versions and the recipe above: a change to either
# rebuilds, a change elsewhere in this script does not.
libraries_once "sdl=$sdl_version mixer=$mixer_version recipe=$( (declare -f build_libraries build_sdl_static build_mixer_static; cat cmake/mingw-w64.cmake) |
  sha256sum | cut -c1-16)" "SDL2/SDL2_mixer for $host"

t1=$(date +%s)
host_font_compile "$build_dir/host"
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
export TAPEHISS_WIN_PREFIX=$prefix
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$src_dir/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTAPEHISS_TESTS=OFF -DTAPEHISS_BENCH=OFF \
  -DTAPEHISS_HOST_FONT_COMPILE="$(cd "$build_dir/host" && pwd)/font_compile" >/dev/null
cmake --build "$build_dir" -j"$jobs" --target tapehiss
echo "built $build_dir/tapehiss.exe in $(( $(date +%s) - t1 )) s"
