#!/usr/bin/env bash
# Builds the show for web browsers with Debian's emscripten: build/web holds
# tapehiss.wasm, tapehiss.js and our own index.html, a folder any static web
# server can serve. SDL2 and SDL2_mixer come from Debian's own source
# packages, compiled once for wasm into a cache outside the work tree
# (TAPEHISS_WEB_CACHE, default ~/.cache/tapehiss-web), together with
# GoogleTest for the golden-frame test; a stamp keyed by the versions and the
# recipe lets later runs skip that step.
# Usage: tools/build-web.sh [build-dir]            (default build/web)
#        tools/build-web.sh --tests [build-dir]    (the golden-frame test for
#                                                   node instead, default build/web-tests)
set -euo pipefail
cd "$(dirname "$0")/.."
src_dir=$PWD
what=show
if [ "${1:-}" = --tests ]; then
  what=tests
  shift
fi
build_dir=${1:-build/web}
[ "$what" = show ] || build_dir=${1:-build/web-tests}
cache=${TAPEHISS_WEB_CACHE:-$HOME/.cache/tapehiss-web}

source tools/packages.sh
source tools/cross-common.sh
jobs=$(nproc)
need_packages emscripten cmake make pkg-config dpkg-dev g++ libgtest-dev
source tools/web-env.sh

# emcc_each OBJDIR FLAGS... -- SOURCES...: compiles every source into OBJDIR,
# as many at once as there are processors (each emcc is a process of its own).
emcc_each() {
  local objdir=$1 flags=()
  shift
  while [ "$1" != -- ]; do flags+=("$1"); shift; done
  shift
  mkdir -p "$objdir"
  printf '%s\n' "$@" | nice xargs -P "$jobs" -I{} sh -c \
    'emcc "$@" -c "$0" -o "'"$objdir"'/$(basename "$0" .c).o"' {} "${flags[@]}"
}

build_libraries() {
  local sdl_src mixer_src
  fresh_sources
  mkdir -p "$prefix/include/SDL2" "$prefix/lib/pkgconfig"

  # SDL's sources straight from a list (configuring it with CMake runs a full
  # emcc link per check: ten minutes), with its own emscripten configuration
  # less OpenGL ES (the show draws into the window surface) and joysticks.
  # The canvas copy is our own (web/sdl_framebuffer.c).
  echo "Building SDL2 $sdl_version for wasm"
  cp "$sdl_src"/include/*.h "$prefix/include/SDL2/"
  sed -e '/SDL_VIDEO_RENDER_OGL_ES2\|SDL_VIDEO_OPENGL_ES2\|SDL_VIDEO_OPENGL_EGL/d' \
    -e 's/^#define SDL_JOYSTICK_EMSCRIPTEN 1/#define SDL_JOYSTICK_DISABLED 1/' \
    "$sdl_src/include/SDL_config_emscripten.h" >"$prefix/include/SDL2/SDL_config.h"
  local dirs=(. atomic audio audio/disk audio/dummy audio/emscripten cpuinfo dynapi events file
              filesystem/emscripten haptic haptic/dummy joystick joystick/dummy libm loadso/dlopen locale
              locale/emscripten misc misc/emscripten power power/emscripten render render/software sensor
              sensor/dummy stdlib thread thread/generic timer timer/unix video video/emscripten video/yuv2rgb)
  local sources=() d f
  for d in "${dirs[@]}"; do
    for f in "$sdl_src/src/$d"/*.c; do
      [ "${f##*/}" = SDL_emscriptenframebuffer.c ] || sources+=("$f")
    done
  done
  emcc_each "$cache/build/sdl2" "${WEB_CFLAGS[@]}" -I"$prefix/include/SDL2" -I"$sdl_src/src" -- \
    "${sources[@]}" "$src_dir/web/sdl_framebuffer.c" ||
    { echo "SDL2 build failed" >&2; exit 1; }
  emar rcs "$prefix/lib/libSDL2.a" "$cache/build/sdl2"/*.o

  # Only the built-in MP3 decoder (dr_mp3) and WAV: no external codec libraries.
  echo "Building SDL2_mixer $mixer_version for wasm"
  cp "$mixer_src/include/SDL_mixer.h" "$prefix/include/SDL2/"
  emcc_each "$cache/build/mixer" "${WEB_CFLAGS[@]}" -DBUILD_SDL -DMUSIC_WAV -DMUSIC_MP3_DRMP3 \
    -I"$prefix/include/SDL2" -I"$mixer_src/src" -I"$mixer_src/src/codecs" -- \
    "$mixer_src"/src/*.c "$mixer_src"/src/codecs/{load_aiff,load_voc,mp3utils,music_drmp3,music_wav}.c ||
    { echo "SDL2_mixer build failed" >&2; exit 1; }
  emar rcs "$prefix/lib/libSDL2_mixer.a" "$cache/build/mixer"/*.o

  # Linked by their full paths (the imported target of pkg-config gives them):
  # emcc would swap a plain -lSDL2_mixer for a port it downloads.
  printf '%s\n' "prefix=$prefix" 'libdir=${prefix}/lib' 'includedir=${prefix}/include' '' \
    'Name: sdl2' 'Description: SDL2 for wasm (static)' "Version: $sdl_version" \
    'Libs: -L${libdir} -lSDL2' 'Cflags: -I${includedir}/SDL2' >"$prefix/lib/pkgconfig/sdl2.pc"
  printf '%s\n' "prefix=$prefix" 'libdir=${prefix}/lib' 'includedir=${prefix}/include' '' \
    'Name: SDL2_mixer' 'Description: SDL2_mixer for wasm (static; dr_mp3 and WAV only)' \
    "Version: $mixer_version" 'Requires: sdl2' 'Libs: -L${libdir} -lSDL2_mixer' \
    'Cflags: -I${includedir}/SDL2' >"$prefix/lib/pkgconfig/SDL2_mixer.pc"

  # GoogleTest from Debian's sources, for the golden-frame test under node.
  echo "Building GoogleTest for wasm"
  (nice cmake -S /usr/src/googletest -B "$cache/build/gtest" -DCMAKE_TOOLCHAIN_FILE="$WEB_TOOLCHAIN" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF \
      -Dgtest_disable_pthreads=ON >"$cache/gtest-configure.log" 2>&1 &&
    nice cmake --build "$cache/build/gtest" -j"$jobs" >"$cache/gtest-build.log" 2>&1 &&
    cmake --install "$cache/build/gtest" >"$cache/gtest-install.log" 2>&1) ||
    { echo "GoogleTest build failed, see $cache/gtest-*.log" >&2; exit 1; }
}

# The stamp names the versions, the recipe above, the compiler flags and our
# canvas copy: a change to any of them rebuilds, a change elsewhere does not.
libraries_once "sdl=$sdl_version mixer=$mixer_version recipe=$( (declare -f build_libraries emcc_each;
  echo "${WEB_CFLAGS[*]}"; cat web/sdl_framebuffer.c) | sha256sum | cut -c1-16)" "SDL2/SDL2_mixer/GoogleTest for wasm"

t1=$(date +%s)
host_font_compile "$build_dir/host"
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
options=(-DTAPEHISS_TESTS=OFF)
target=tapehiss
if [ "$what" = tests ]; then
  options=(-DTAPEHISS_TESTS=ON -DGTest_DIR="$prefix/lib/cmake/GTest"
           -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST)
  target=test_golden
fi
nice cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$WEB_TOOLCHAIN" -DCMAKE_FIND_ROOT_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$WEB_ARCH" -DCMAKE_CXX_FLAGS="$WEB_ARCH" -DTAPEHISS_BENCH=OFF -DTAPEHISS_WERROR="${TAPEHISS_WERROR:-ON}" "${options[@]}" \
  -DTAPEHISS_HOST_FONT_COMPILE="$(cd "$build_dir/host" && pwd)/font_compile" >/dev/null
nice cmake --build "$build_dir" -j"$jobs" --target "$target"
echo "built $build_dir ($target) in $(( $(date +%s) - t1 )) s"
