# shellcheck shell=bash
# Sourced by the scripts that need Debian packages.
# need_packages PKG...: installs those of PKG that are not installed yet, and
# nothing else (through sudo when not root); the package index is refreshed
# only when something is missing. Waits for another apt run to finish.
need_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# need_foreign_arch ARCH: Debian's packages of ARCH (arm64) installable beside
# this machine's own (after which need_packages refreshes the index for them).
need_foreign_arch() {
  dpkg --print-foreign-architectures | grep -qx "$1" || as_root dpkg --add-architecture "$1"
}

# as_root CMD...: runs CMD as root (through sudo when not root).
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt_get ARGS...: apt-get as root, without questions.
apt_get() { as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 "$@"; }

# need_source_of PACKAGE VERSION: makes `apt-get source PACKAGE` find VERSION,
# adding a deb-src entry for bookworm main (a change to this machine's apt
# sources) when there is none, and refreshing the index when it lacks it.
need_source_of() {
  if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "Adding a deb-src entry for bookworm main"
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      as_root tee /etc/apt/sources.list.d/tapehiss-deb-src.sources >/dev/null
  fi
  apt-cache showsrc "$1" 2>/dev/null | grep -q "^Version: $2" || apt_get update -qq
}
