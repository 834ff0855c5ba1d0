#!/usr/bin/env bash
# The self-contained executable (tools/build-linux.sh) stripped as the release
# archive has it, in a bare Debian root (tools/bare-roots.sh: no SDL, only a
# desktop's X11, Wayland and sound libraries), on this machine's Xvfb through
# its socket, with SDL's disk sound; an arm64 one under qemu-aarch64. Every
# scene is walked and checked exactly, and the run must exit 0.
# Usage: test_bare_root.sh EXE SRC BUILD CASE, CASE one of
#   bookworm  Debian 12: ldd finds only the C library there; the walk
#   trixie    Debian 13: the .deb beside EXE (the same executable) installed with
#             apt, walked from its installed path, removed again
#   bullseye  Debian 11: the loader refuses it, naming the glibc floor
#   whole     Debian 12: one unattended whole run, scene lengths and pace
source "$(dirname "$0")/lib.sh"
case_=$4
source "$SRC/tools/packages.sh"
source "$SRC/tools/linux-common.sh"
source "$SRC/tools/bare-roots.sh"
[ -f "$EXE" ] || fail "no $EXE: tools/build-linux.sh builds it"
arch=$(elf_arch "$EXE")
suite=$case_
[ "$case_" = whole ] && suite=bookworm
root_ready "$suite" "$arch"
trap 'cleanup; root_down' EXIT
trap 'exit 130' INT TERM
root_up "$ROOT"
"$(tool_prefix "$arch")strip" -o "$MERGED/root/tapehiss" "$EXE"
# The tables fill before the title shows: seconds here, natively or under
# qemu, but emulation on a slower machine may take minutes.
title_wait=30
[ "$arch" = "$(uname -m)" ] || title_wait=300
APP=/root/tapehiss
start_intro() {
  "${ROOT_CMD[@]}" DISPLAY="$DISPLAY" "$@" "$APP" >"$WORK/stdout.log" 2>"$WORK/stderr.log" &
  APP_PID=$!
}
where="Debian $suite ($("${ROOT_CMD[@]}" cat /etc/debian_version), $arch)"

# walk: every scene, timed from the start (under qemu that is mostly the
# tables), no messages of ours.
walk() {
  local t0 t1
  start_display 1280x720
  t0=$(date +%s.%N)
  start_intro SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/tmp/audio.raw
  wait_for_scene title "$title_wait"
  t1=$(date +%s.%N)
  walk_scenes
  [ -z "$(own_stderr)" ] || fail "unexpected messages: $(own_stderr)"
  stop_display
  awk -v w="$where: $APP" -v a="$t0" -v b="$t1" -v c="$(date +%s.%N)" \
    'BEGIN { printf "%s: title after %.1f s (the tables), every scene walked in %.1f s, exit 0\n", w, b - a, c - a }'
}

case $case_ in
  bookworm)
    # Only the C library's own objects (the vDSO on x86-64), all found.
    libs=$("${ROOT_CMD[@]}" ldd "$APP") || fail "ldd in the root: $libs"
    echo "$libs"
    other=$(awk '{ print $1 }' <<<"$libs" |
      grep -Ev '^(linux-vdso\.so\.1|libc\.so\.6|libm\.so\.6|/lib(64)?/ld-linux-(x86-64|aarch64)\.so\.[12])$' || true)
    [ -z "$other" ] && ! grep -q 'not found' <<<"$libs" || fail "ldd in the root lists more: $other"
    walk ;;
  trixie)
    deb=$(find "$(dirname "$EXE")" -maxdepth 1 -name "tapehiss_*_$(deb_arch "$arch").deb" | head -n1)
    [ -n "$deb" ] || fail "no .deb beside $EXE"
    cp "$deb" "$MERGED/tmp/"
    "${ROOT_CMD[@]}" sh -c "cd /tmp && apt-get install -y -q ./$(basename "$deb")" >"$WORK/apt.log" 2>&1 ||
      { cat "$WORK/apt.log" >&2; fail "apt cannot install $(basename "$deb")"; }
    files=$("${ROOT_CMD[@]}" dpkg -L tapehiss)
    for f in /usr/bin/tapehiss /usr/share/applications/tapehiss.desktop \
      /usr/share/icons/hicolor/48x48/apps/tapehiss.png /usr/share/icons/hicolor/256x256/apps/tapehiss.png; do
      grep -qx "$f" <<<"$files" || fail "the package does not install $f"
    done
    cmp -s "$MERGED/root/tapehiss" "$MERGED/usr/bin/tapehiss" ||
      fail "the package's executable differs from the release executable"
    echo "$where: $(basename "$deb") installed with apt ($("${ROOT_CMD[@]}" dpkg-query -W -f '${Depends}' tapehiss))"
    APP=/usr/bin/tapehiss
    walk
    "${ROOT_CMD[@]}" apt-get purge -y -q tapehiss >"$WORK/apt.log" 2>&1 ||
      { cat "$WORK/apt.log" >&2; fail "apt cannot remove tapehiss"; }
    while read -r f; do
      [ -d "$MERGED$f" ] || [ ! -e "$MERGED$f" ] || fail "$f is left after removing the package"
    done <<<"$files"
    ! "${ROOT_CMD[@]}" dpkg-query -W tapehiss >/dev/null 2>&1 || fail "tapehiss is still known to dpkg"
    echo "$where: removed with apt, no file left" ;;
  bullseye)
    # Not ours to say: the loader speaks before the intro does.
    start_display 1280x720
    rc=0
    "${ROOT_CMD[@]}" DISPLAY="$DISPLAY" "$APP" >"$WORK/stdout.log" 2>"$WORK/stderr.log" || rc=$?
    [ "$rc" != 0 ] || fail "it ran on glibc $("${ROOT_CMD[@]}" ldd --version | head -n1)"
    grep -qF "version \`GLIBC_$glibc_floor' not found" "$WORK/stderr.log" ||
      fail "the loader does not name glibc $glibc_floor"
    echo "$where: exit $rc, the loader says:"
    cat "$WORK/stderr.log" ;;
  whole)
    source "$(dirname "$0")/whole_run.sh"
    whole_run SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/tmp/audio.raw
    echo "$where: an unattended whole run, as above" ;;
  *) fail "no case $case_" ;;
esac
echo PASS
