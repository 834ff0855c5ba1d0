#!/usr/bin/env bash
# Runs the Windows build under Wine on a private Xvfb display, walks through
# the scenes with key presses and checks screenshots: the title is the title
# picture pixel for pixel, the credits are drawn exactly as on Linux, two main
# scene shots are the Linux drawings of two different passes (so it moves),
# an end-screen shot is the Linux drawing of one of its frames, and the
# process exits with status 0. Wine gets no audio driver, so the intro runs
# silently, as on a machine without a sound device.
# Usage: tools/test-windows.sh [tapehiss.exe] [linux-build-dir]
#        (defaults build/windows/tapehiss.exe and build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
src_dir=$PWD
exe=$(realpath "${1:-build/windows/tapehiss.exe}")
linux_build=$(realpath "${2:-build/release}")
cache=${TAPEHISS_WIN_CACHE:-$HOME/.cache/tapehiss-windows}
t0=$SECONDS

source tools/packages.sh
need_packages wine64 xvfb xdotool x11-apps
[ -f "$exe" ] || { echo "no $exe: run tools/build-windows.sh first" >&2; exit 1; }
# The screenshot checker comes from a Linux build, configured here if need be.
if [ ! -x "$linux_build/tests/shot_check" ]; then
  [ -f "$linux_build/CMakeCache.txt" ] || cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$linux_build" -j"$(nproc)" --target shot_check >/dev/null
fi

source tools/wine-env.sh

# The end-to-end helpers: private Xvfb, screenshots, key presses, waits.
# EXE is what start_intro runs; here a one-line wrapper that hands the
# executable to Wine.
mkdir -p "$cache"
launcher=$cache/run-under-wine.sh
printf '#!/usr/bin/env bash\nexec %q %q\n' "$WINE" "$exe" >"$launcher"
chmod +x "$launcher"
source tests/e2e/lib.sh "$launcher" "$src_dir" "$linux_build"
trap 'cleanup; "$WINESERVER" -k 2>/dev/null || true' EXIT

start_display 1280x720
wine_prefix_ready

# Wine starts its desktop process with the first window. Now and then (once
# in some dozens of runs here) that start fails, and every window the
# program asks for then fails with a stale error ("Environment variable not
# found"). That is Wine's, not the intro's: on that one message, the Wine
# server is restarted and the intro started once more, saying so.
start_under_wine() {
  local try
  for try in 1 2; do
    start_intro
    # Wine's own start-up comes first: give the title longer than on Linux.
    scene_shown title 90 && return 0
    kill -0 "$APP_PID" 2>/dev/null && fail "waited 90 s for the title, last saw '$SEEN'"
    wait_intro
    if [ "$try" = 1 ] && grep -q "SDL_CreateWindow failed on SDL's 'windows' video driver" "$WORK/stderr.log"; then
      echo "Wine gave no window ($(own_stderr)); restarting the Wine server and the intro once"
      "$WINESERVER" -k 2>/dev/null || true
      "$WINESERVER" -w 2>/dev/null || true
      continue
    fi
    fail "the intro ended (status $RC) before its title: $(own_stderr)"
  done
}

start_under_wine
walk_scenes 90
# The only line the intro may print is that it runs without sound.
unexpected=$(own_stderr | grep -v '^tapehiss: running without sound' || true)
[ -z "$unexpected" ] || fail "unexpected messages: $unexpected"
own_stderr
echo "PASS: the Windows build under Wine, exit status 0, $((SECONDS - t0)) s"
