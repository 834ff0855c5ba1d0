#!/usr/bin/env bash
# Builds the self-contained Linux executable and its .deb for x86-64 or
# arm64: SDL2 and SDL2_mixer from Debian's own source packages, built once as
# static libraries into a cache outside the work tree (TAPEHISS_LINUX_CACHE,
# default ~/.cache/tapehiss-linux-ARCH), behind a stamp; the C++ runtime and
# libgcc linked in as well, so the executable needs the C library and nothing
# else. SDL still loads its X11, Wayland, ALSA, PulseAudio and PipeWire back
# ends when the show runs, as it always does. The check at the end fails when
# it needs any other library or a newer C library than the stated floor.
# The plain build against the system's SDL (cmake -S . -B build/...) is not
# touched by this.
# Usage: tools/build-linux.sh [x86_64|aarch64] [build-dir]   (default x86_64,
#        build/linux-ARCH); the .deb lands in the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
src_dir=$PWD
arch=${1:-x86_64}
build_dir=${2:-build/linux-$arch}
cache=${TAPEHISS_LINUX_CACHE:-$HOME/.cache/tapehiss-linux}-$arch

source tools/packages.sh
source tools/cross-common.sh
source tools/linux-common.sh
jobs=$(nproc)
# SDL's build finds the names of the libraries it will load by their
# development packages; PipeWire's is not among those of libsdl2-dev.
dev=(libsdl2-dev libpipewire-0.3-dev)
case $arch in
  x86_64)
    need_packages cmake make pkg-config dpkg-dev g++ "${dev[@]}"
    toolchain=()
    configure_host=()
    run=() ;;
  aarch64)
    need_foreign_arch arm64
    need_packages cmake make pkg-config dpkg-dev g++ g++-aarch64-linux-gnu qemu-user "${dev[@]/%/:arm64}"
    toolchain=(-DCMAKE_TOOLCHAIN_FILE="$src_dir/cmake/toolchain-aarch64.cmake")
    configure_host=(--host=aarch64-linux-gnu)
    run=(qemu-aarch64 -L /usr/aarch64-linux-gnu) ;;
  *) echo "usage: tools/build-linux.sh [x86_64|aarch64] [build-dir]" >&2; exit 2 ;;
esac

build_libraries() {
  local sdl_src mixer_src
  fresh_sources
  # No run path into this cache in the executable.
  PKG_CONFIG_LIBDIR=$(pkg_dirs) build_sdl_static "$arch Linux" "${configure_host[@]}" --disable-rpath
  build_mixer_static "$arch Linux" "${toolchain[@]}" -DSDL2_DIR="$prefix/lib/cmake/SDL2"
  # The back ends the show needs are loaded by name, not linked.
  local want
  for want in VIDEO_DRIVER_X11 VIDEO_DRIVER_WAYLAND AUDIO_DRIVER_ALSA AUDIO_DRIVER_PULSEAUDIO AUDIO_DRIVER_PIPEWIRE; do
    grep -q "^#define SDL_${want}_DYNAMIC \"lib.*\.so\.[0-9]*\"" "$prefix/include/SDL2/SDL_config.h" ||
      { echo "SDL2 for $arch: $want is not loaded at run time" >&2; exit 1; }
  done
}

# The system's development packages of ARCH, which SDL's configure reads.
pkg_dirs() {
  case $arch in
    x86_64) echo /usr/lib/x86_64-linux-gnu/pkgconfig:/usr/share/pkgconfig ;;
    aarch64) echo /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig ;;
  esac
}

# The stamp names the versions and the recipe above: a change to either
# rebuilds, a change elsewhere in this script does not.
libraries_once "sdl=$sdl_version mixer=$mixer_version arch=$arch recipe=$( (declare -f build_libraries pkg_dirs \
  build_sdl_static build_mixer_static; echo "${configure_host[*]} ${toolchain[*]}") | sha256sum | cut -c1-16)" \
  "SDL2/SDL2_mixer for $arch Linux"

t1=$(date +%s)
options=()
if [ "$arch" != x86_64 ]; then
  host_font_compile "$build_dir/host"
  options=(-DTAPEHISS_HOST_FONT_COMPILE="$(cd "$build_dir/host" && pwd)/font_compile")
fi
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
export TAPEHISS_LINUX_PREFIX=$prefix
cmake -S . -B "$build_dir" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DTAPEHISS_SELF_CONTAINED=ON \
  -DTAPEHISS_TESTS=OFF -DTAPEHISS_BENCH=OFF -DTAPEHISS_WERROR="${TAPEHISS_WERROR:-ON}" "${options[@]}" >/dev/null
cmake --build "$build_dir" -j"$jobs" --target tapehiss unwind_check
check_self_contained "$build_dir/tapehiss"
# The unwinder's lookup of our own: an exception is caught, and the check
# program, linked the same way, keeps to the floor as well.
check_self_contained "$build_dir/unwind_check" >/dev/null
"${run[@]}" "$build_dir/unwind_check"
# The .deb, its dependencies from dpkg-shlibdeps (for the target's
# architecture), from the install rules.
(cd "$build_dir" && rm -f ./*.deb && DEB_HOST_ARCH=$(deb_arch "$arch") cpack -G DEB >cpack.log 2>&1) ||
  { echo "cpack failed, see $build_dir/cpack.log" >&2; exit 1; }
echo "built $build_dir/tapehiss and $(cd "$build_dir" && ls ./*.deb) in $(($(date +%s) - t1)) s"
