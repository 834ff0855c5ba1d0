# Shared by the cross builds (tools/build-windows.sh, tools/build-web.sh):
# installing Debian packages, Debian's source packages of SDL2 and SDL2_mixer,
# and the font compiler built for this machine. Sourced after `cache`,
# `sdl_version` and `mixer_version` are set.

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 "$@"; }

# install_missing PACKAGE...: installs those that are not there yet.
install_missing() {
  local need=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
  done
  [ ${#need[@]} -eq 0 ] && return 0
  echo "Installing: ${need[*]}"
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
}

# Debian's source packages of both libraries, unpacked into $cache/src.
fetch_sources() {
  # apt-get source needs a deb-src line for bookworm main, and its index.
  if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "Adding a deb-src entry for bookworm main"
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      $sudo tee /etc/apt/sources.list.d/tapehiss-deb-src.sources >/dev/null
  fi
  apt-cache showsrc libsdl2 2>/dev/null | grep -q "^Version: $sdl_version" || apt_get update -qq
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

# The unpacked source folders of both libraries, in sdl_src and mixer_src.
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
  for f in tools/font_compile.cpp src/text/font.h assets/assets.h; do
    if [ "$f" -nt "$dir/font_compile" ]; then stale=yes; fi
  done
  if [ ! -x "$dir/font_compile" ] || [ "$stale" = yes ]; then
    g++ -std=c++20 -O2 -Wall -Wextra -Isrc -Iassets -o "$dir/font_compile" tools/font_compile.cpp
  fi
}
