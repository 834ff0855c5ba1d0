#!/usr/bin/env bash
# shellcheck disable=SC2317  # the trap routines are reached through traps
# Minimal Debian roots for trying the self-contained executable on a system
# with nothing installed: debootstrap's minbase and, beside it, only what a
# desktop always has (the X11 and Wayland client libraries and the sound
# libraries SDL loads), no SDL. Debian 12 and 13 for x86-64 and arm64, and a
# Debian 11 root (an older C library) for x86-64. Each root is made once into
# a cache outside the tree (TAPEHISS_ROOTS_CACHE, default
# ~/.cache/tapehiss-roots), behind a stamp of its suite, architecture and
# package list. arm64 roots run under qemu-user-static through binfmt_misc
# (registered with the F flag, so the emulator works inside the chroot).
# Usage: tools/bare-roots.sh x86_64|aarch64   (makes that architecture's roots)
# Sourced, it gives root_ready, root_up (then ROOT_CMD runs a command inside)
# and root_down.
roots_cache=${TAPEHISS_ROOTS_CACHE:-$HOME/.cache/tapehiss-roots}
roots_mirror=http://deb.debian.org/debian

# The suites tried for each architecture; only x86-64 gets the old one.
root_suites() {
  case $1 in
    x86_64) echo bookworm trixie bullseye ;;
    aarch64) echo bookworm trixie ;;
    *) echo "no roots for $1" >&2; return 1 ;;
  esac
}

# The desktop's libraries of SUITE: nothing for the old root, which only has
# to show what its loader says.
root_packages() {
  local common="libx11-6 libxext6 libxcursor1 libxi6 libxfixes3 libxrandr2 libxss1 libxkbcommon0
    libwayland-client0 libwayland-cursor0 libwayland-egl1 libdecor-0-0 libpulse0"
  case $1 in
    bookworm) echo "$common libasound2 libpipewire-0.3-0" ;;
    trixie) echo "$common libasound2t64 libpipewire-0.3-0t64" ;;
    bullseye) echo "" ;;
  esac
}

# Foreign binaries through the static emulator, registered for the kernel.
emulation_ready() {
  need_packages qemu-user-static binfmt-support
  [ -e /proc/sys/fs/binfmt_misc/register ] ||
    as_root mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  [ -e /proc/sys/fs/binfmt_misc/qemu-aarch64 ] || as_root update-binfmts --enable qemu-aarch64
  grep -q '^flags: .*F' /proc/sys/fs/binfmt_misc/qemu-aarch64 ||
    { echo "qemu-aarch64 is not registered with the F flag" >&2; return 1; }
}

# root_ready SUITE ARCH: the root's folder into ROOT, made first when the
# cache has none with this recipe; a foreign one's emulator registered. A
# lock keeps two runs from making it at once.
root_ready() {
  local suite=$1 arch=$2 dir key t0
  dir=$roots_cache/$suite-$arch
  key="suite=$suite arch=$arch packages=$(root_packages "$suite" | xargs) recipe=$(declare -f root_make | sha256sum | cut -c1-16)"
  ROOT=$dir/root
  # Also for a cached root: the registration does not outlive a restart.
  [ "$arch" = "$(uname -m)" ] || emulation_ready
  mkdir -p "$roots_cache"
  exec {lock}>"$roots_cache/.lock-$suite-$arch"
  flock "$lock"
  if [ -f "$dir/stamp" ] && [ "$(cat "$dir/stamp")" = "$key" ]; then
    exec {lock}>&-
    return 0
  fi
  t0=$(date +%s)
  need_packages debootstrap
  echo "Making the Debian $suite root for $arch"
  root_make "$suite" "$arch" "$dir"
  echo "$key" >"$dir/stamp"
  exec {lock}>&-
  echo "Debian $suite root for $arch made in $(($(date +%s) - t0)) s ($(du -sm "$ROOT" | cut -f1) MB)"
}

# root_make SUITE ARCH DIR: debootstrap into a fresh folder beside the old
# one, which it replaces only when complete.
root_make() {
  local suite=$1 arch=$2 dir=$3 include
  include=$(root_packages "$suite" | xargs | tr ' ' ,)
  # Not into whatever an interrupted debootstrap left mounted there.
  as_root rm -rf --one-file-system "$dir/new" "$dir/root" "$dir/stamp"
  mkdir -p "$dir"
  as_root debootstrap --variant=minbase --arch="$(deb_arch "$arch")" ${include:+--include="$include"} \
    "$suite" "$dir/new" "$roots_mirror" >"$dir/debootstrap.log" 2>&1 ||
    { echo "debootstrap failed, see $dir/debootstrap.log" >&2; tail -n 5 "$dir/debootstrap.log" >&2; return 1; }
  # Downloaded packages are not part of a system.
  as_root rm -rf "$dir/new/var/cache/apt/archives"/*.deb "$dir/new/var/lib/apt/lists"/*_Packages
  as_root mv "$dir/new" "$dir/root"
}

# root_up ROOT: a throw-away copy of ROOT (an overlay: what a run writes
# stays out of the cache) mounted at a fresh folder, named in MERGED, with
# /proc and the host's X11 sockets inside. Mounts left by a run that was
# killed before it could clean up go first.
root_up() {
  local lower=$1 m pid
  while read -r m; do
    pid=${m#/tmp/tapehiss-root.}
    pid=${pid%%.*}
    kill -0 "$pid" 2>/dev/null || root_unmount "${m%/merged}"
  done < <(awk '$2 ~ "^/tmp/tapehiss-root\\.[0-9]+\\.[^/]*/merged$" { print $2 }' /proc/mounts)
  ROOT_RUN=$(mktemp -d "/tmp/tapehiss-root.$$.XXXXXX")
  MERGED=$ROOT_RUN/merged
  mkdir -p "$ROOT_RUN/upper" "$ROOT_RUN/work" "$MERGED"
  as_root mount -t overlay overlay -o "lowerdir=$lower,upperdir=$ROOT_RUN/upper,workdir=$ROOT_RUN/work" "$MERGED"
  as_root mount -t proc proc "$MERGED/proc"
  as_root mkdir -p "$MERGED/tmp/.X11-unix"
  as_root mount --bind /tmp/.X11-unix "$MERGED/tmp/.X11-unix"
  # A command inside, in an environment like a desktop session's (a home; the
  # caller adds the display) with nothing of ours passed on; one process to
  # the end (each program execs the next), so its process id is the command's.
  ROOT_CMD=(chroot "$MERGED" /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin
    LANG=C.UTF-8)
  [ "$(id -u)" -eq 0 ] || ROOT_CMD=(sudo "${ROOT_CMD[@]}")
}

# root_unmount DIR: the mounts under DIR go, then DIR, but never while
# anything is still mounted there (the host's sockets would go with it).
root_unmount() {
  local dir=$1
  as_root umount -R "$dir/merged" 2>/dev/null || as_root umount -R -l "$dir/merged" 2>/dev/null || true
  if awk -v d="$dir/" 'index($2, d) == 1 { found = 1 } END { exit !found }' /proc/mounts; then
    echo "still mounted under $dir: left in place" >&2
    return 1
  fi
  as_root rm -rf --one-file-system "$dir"
}

# root_down: the mounts of root_up go, with the copy; safe to call twice.
root_down() {
  [ -n "${ROOT_RUN:-}" ] || return 0
  root_unmount "$ROOT_RUN" || true
  ROOT_RUN=
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  cd "$(dirname "$0")/.."
  source tools/packages.sh
  source tools/linux-common.sh
  for suite in $(root_suites "${1:?usage: tools/bare-roots.sh x86_64|aarch64}"); do
    root_ready "$suite" "$1"
    echo "Debian $suite root for $1: $ROOT"
  done
fi
