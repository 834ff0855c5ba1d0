# shellcheck shell=bash disable=SC2154
# (cache is the sourcing script's.)
# Shared by the builds of our own SDL2 and SDL2_mixer (tools/build-windows.sh,
# tools/build-web.sh, tools/build-linux.sh): Debian's source packages of both,
# their static builds, and the font compiler built for this machine. Sourced
# after tools/packages.sh, with `cache` set.

# The versions all three builds take from Debian 12, the same as the native
# build's packages.
sdl_version=2.26.5
mixer_version=2.6.2
prefix=$cache/prefix

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

# libraries_once KEY WHAT: runs the caller's build_libraries into $prefix
# unless the stamp there holds KEY (the versions and the recipe, so a change
# to either rebuilds and a change elsewhere does not); WHAT names them.
libraries_once() {
  local key=$1 what=$2 stamp=$prefix/.complete t0
  t0=$(date +%s)
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$key" ]; then
    echo "$what: cached in $prefix"
    return 0
  fi
  build_libraries
  echo "$key" >"$stamp"
  echo "$what built in $(( $(date +%s) - t0 )) s"
}

# build_sdl_static WHAT CONFIGURE_ARGS...: SDL2 from $sdl_src as a static
# library into $prefix, by its own configure script.
build_sdl_static() {
  local what=$1
  shift
  echo "Building SDL2 $sdl_version for $what"
  mkdir -p "$cache/build/sdl2"
  (cd "$cache/build/sdl2" &&
    "$sdl_src/configure" --prefix="$prefix" --disable-shared --enable-static "$@" >configure.log 2>&1 &&
    make -j"$(nproc)" >make.log 2>&1 && make install >install.log 2>&1) ||
    { echo "SDL2 build failed, see $cache/build/sdl2/*.log" >&2; exit 1; }
}

# build_mixer_static WHAT CMAKE_ARGS...: SDL2_mixer from $mixer_src as a
# static library into $prefix, with only the built-in MP3 decoder (dr_mp3):
# no external codec libraries. CMAKE_ARGS (a toolchain, another format) come
# last and win.
build_mixer_static() {
  local what=$1
  shift
  echo "Building SDL2_mixer $mixer_version for $what"
  (cmake -S "$mixer_src" -B "$cache/build/mixer" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
      -DBUILD_SHARED_LIBS=OFF -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_VENDORED=OFF \
      -DSDL2MIXER_DEPS_SHARED=OFF -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF \
      -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_VORBIS= \
      -DSDL2MIXER_MP3=ON -DSDL2MIXER_MP3_DRMP3=ON -DSDL2MIXER_MP3_MPG123=OFF \
      -DSDL2MIXER_WAVE=OFF "$@" >"$cache/mixer-configure.log" 2>&1 &&
    cmake --build "$cache/build/mixer" -j"$(nproc)" >"$cache/mixer-build.log" 2>&1 &&
    cmake --install "$cache/build/mixer" >"$cache/mixer-install.log" 2>&1) ||
    { echo "SDL2_mixer build failed, see $cache/mixer-*.log" >&2; exit 1; }
  # The mixer's CMake writes a .pc file only for a shared library.
  printf '%s\n' "prefix=$prefix" 'libdir=${prefix}/lib' 'includedir=${prefix}/include' '' \
    'Name: SDL2_mixer' 'Description: mixer library for SDL2 (static; built-in decoders only)' \
    "Version: $mixer_version" 'Requires: sdl2' 'Libs: -L${libdir} -lSDL2_mixer' \
    'Cflags: -I${includedir}/SDL2' >"$prefix/lib/pkgconfig/SDL2_mixer.pc"
}

# fresh_sources: an empty prefix and build folder in the cache, and the
# sources unpacked afresh, into the caller's sdl_src and mixer_src.
fresh_sources() {
  rm -rf "$cache/build" "$prefix"
  mkdir -p "$prefix"
  fetch_sources
  find_sources
}

# The unpacked source folders of both libraries, into the caller's sdl_src
# and mixer_src.
find_sources() {
  sdl_src=$(find "$cache/src" -maxdepth 1 -type d -name "libsdl2-$sdl_version*" | head -n1)
  mixer_src=$(find "$cache/src" -maxdepth 1 -type d -name "libsdl2-mixer-$mixer_version*" | head -n1)
  [ -n "$sdl_src" ] && [ -n "$mixer_src" ] || { echo "source packages not unpacked" >&2; exit 1; }
}

# host_font_compile DIR: the font compiler runs during the build, so it is
# built for this machine, into DIR, when missing or older than its sources.
host_font_compile() {
  local dir=$1 f stale=no
  mkdir -p "$dir"
  for f in tools/font_compile.cpp src/text/font.h assets/assets.h assets/asset_sizes.h; do
    if [ "$f" -nt "$dir/font_compile" ]; then stale=yes; fi
  done
  if [ ! -x "$dir/font_compile" ] || [ "$stale" = yes ]; then
    g++ -std=c++20 -O2 -Wall -Wextra -Isrc -Iassets -o "$dir/font_compile" tools/font_compile.cpp
  fi
}
