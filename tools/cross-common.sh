# shellcheck shell=bash disable=SC2154
# (cache is the sourcing script's.)
# Shared by the cross builds (tools/build-windows.sh, tools/build-web.sh):
# Debian's source packages of SDL2 and SDL2_mixer, and the font compiler built
# for this machine. Sourced after tools/packages.sh, with `cache` set.

# The versions both cross builds take from Debian 12, the same as the native
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
