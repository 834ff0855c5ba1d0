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
  rm -rf "$cache/build" "$prefix"
  mkdir -p "$prefix"
  fetch_sources
  local sdl_src mixer_src
  find_sources

  echo "Building SDL2 $sdl_version for $host"
  mkdir -p "$cache/build/sdl2"
  (cd "$cache/build/sdl2" &&
    "$sdl_src/configure" --host=$host --prefix="$prefix" --disable-shared --enable-static >configure.log 2>&1 &&
    make -j"$jobs" >make.log 2>&1 && make install >install.log 2>&1) ||
    { echo "SDL2 build failed, see $cache/build/sdl2/*.log" >&2; exit 1; }

  # Only the built-in MP3 decoder (dr_mp3) and WAV: no external codec libraries.
  echo "Building SDL2_mixer $mixer_version for $host"
  (TAPEHISS_WIN_PREFIX=$prefix cmake -S "$mixer_src" -B "$cache/build/mixer" \
      -DCMAKE_TOOLCHAIN_FILE="$src_dir/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
      -DBUILD_SHARED_LIBS=OFF -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_VENDORED=OFF \
      -DSDL2MIXER_DEPS_SHARED=OFF -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF \
      -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_VORBIS= \
      -DSDL2MIXER_MP3=ON -DSDL2MIXER_MP3_DRMP3=ON -DSDL2MIXER_MP3_MPG123=OFF \
      -DSDL2MIXER_WAVE=ON >"$cache/mixer-configure.log" 2>&1 &&
    cmake --build "$cache/build/mixer" -j"$jobs" >"$cache/mixer-build.log" 2>&1 &&
    cmake --install "$cache/build/mixer" >"$cache/mixer-install.log" 2>&1) ||
    { echo "SDL2_mixer build failed, see $cache/mixer-*.log" >&2; exit 1; }
  # The mixer's CMake writes a .pc file only for a shared library.
  printf '%s\n' "prefix=$prefix" 'libdir=${prefix}/lib' 'includedir=${prefix}/include' '' \
    'Name: SDL2_mixer' 'Description: mixer library for SDL2 (static; dr_mp3 and WAV only)' \
    "Version: $mixer_version" 'Requires: sdl2' 'Libs: -L${libdir} -lSDL2_mixer' \
    'Cflags: -I${includedir}/SDL2' >"$prefix/lib/pkgconfig/SDL2_mixer.pc"
}

# The stamp names the versions and the recipe above: a change to either
# rebuilds, a change elsewhere in this script does not.
libraries_once "sdl=$sdl_version mixer=$mixer_version recipe=$( (declare -f build_libraries; cat cmake/mingw-w64.cmake) |
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
