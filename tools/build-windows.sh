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
sdl_version=2.26.5
mixer_version=2.6.2
prefix=$cache/prefix
jobs=$(nproc)

source tools/packages.sh
need_packages mingw-w64 g++-mingw-w64-x86-64-posix cmake make pkg-config dpkg-dev

# Debian's source packages of both libraries, unpacked into $cache/src.
fetch_sources() {
  need_source_of libsdl2 "$sdl_version"
  rm -rf "$cache/src"
  mkdir -p "$cache/src"
  # Debian's revision of the upstream version (2.26.5+dfsg-1 and the like).
  local sdl_deb mixer_deb
  sdl_deb=$(apt-cache showsrc libsdl2 | awk '/^Version:/ {print $2}' | grep -m1 "^$sdl_version") ||
    { echo "no libsdl2 $sdl_version source package" >&2; exit 1; }
  mixer_deb=$(apt-cache showsrc libsdl2-mixer | awk '/^Version:/ {print $2}' | grep -m1 "^$mixer_version") ||
    { echo "no libsdl2-mixer $mixer_version source package" >&2; exit 1; }
  # Run as root, apt warns that its download user cannot write here: harmless.
  (cd "$cache/src" && apt-get source -qq "libsdl2=$sdl_deb" "libsdl2-mixer=$mixer_deb" 2>&1 >/dev/null |
    { grep -v 'unsandboxed' || true; } >&2)
}

build_libraries() {
  rm -rf "$cache/build" "$prefix"
  mkdir -p "$prefix"
  fetch_sources
  local sdl_src mixer_src
  sdl_src=$(find "$cache/src" -maxdepth 1 -type d -name "libsdl2-$sdl_version*" | head -n1)
  mixer_src=$(find "$cache/src" -maxdepth 1 -type d -name "libsdl2-mixer-$mixer_version*" | head -n1)
  [ -n "$sdl_src" ] && [ -n "$mixer_src" ] || { echo "source packages not unpacked" >&2; exit 1; }

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
  echo "$stamp_key" >"$stamp"
}

# The stamp names the versions and the recipe above: a change to either
# rebuilds, a change elsewhere in this script does not.
stamp_key="sdl=$sdl_version mixer=$mixer_version recipe=$( (declare -f build_libraries; cat cmake/mingw-w64.cmake) | sha256sum | cut -c1-16)"
stamp=$prefix/.complete
t0=$(date +%s)
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$stamp_key" ]; then
  echo "SDL2/SDL2_mixer for $host: cached in $prefix"
else
  build_libraries
  echo "SDL2/SDL2_mixer built in $(( $(date +%s) - t0 )) s"
fi

# The font compiler runs during the build, so it is built for this machine.
t1=$(date +%s)
mkdir -p "$build_dir/host"
stale=no
for f in tools/font_compile.cpp src/text/font.h assets/assets.h; do
  if [ "$f" -nt "$build_dir/host/font_compile" ]; then stale=yes; fi
done
if [ ! -x "$build_dir/host/font_compile" ] || [ "$stale" = yes ]; then
  g++ -std=c++20 -O2 -Wall -Wextra -Isrc -Iassets -o "$build_dir/host/font_compile" tools/font_compile.cpp
fi
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
export TAPEHISS_WIN_PREFIX=$prefix
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$src_dir/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTAPEHISS_TESTS=OFF -DTAPEHISS_BENCH=OFF \
  -DTAPEHISS_HOST_FONT_COMPILE="$(cd "$build_dir/host" && pwd)/font_compile" >/dev/null
cmake --build "$build_dir" -j"$jobs" --target tapehiss
echo "built $build_dir/tapehiss.exe in $(( $(date +%s) - t1 )) s"
