#!/usr/bin/env bash
# Measures the pace of the main scene and the processor use of each scene in
# unattended whole runs on Xvfb with a window manager, and on weston through
# Xwayland and as a native Wayland client, at each display size given; prints
# a table for the README. Take the figures on a quiet machine (nothing else
# running): about 2 minutes a run, 6 runs by default.
# Usage: tools/measure-desktops.sh [build-dir] [WxH...]   (build/release; 1920x1080 3840x2160)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/release}")
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 3840x2160)
bash tools/setup-deps.sh test
cmake --build "$build" --target tapehiss shot_check >/dev/null
source tests/e2e/lib.sh "$build/tapehiss" "$PWD" "$build"
source tests/e2e/compositor.sh
source tests/e2e/whole_run.sh
trap 'stop_compositor; cleanup' EXIT
rows=()
for size in "${sizes[@]}"; do
  for way in x11 xwayland wayland; do
    # Xvfb with a window manager, or weston through Xwayland or natively.
    if [ "$way" = x11 ]; then export RUN_WM=1 RUN_WAY=; else export RUN_WM=0 RUN_WAY=$way; fi
    RUN_SIZE=$size RUN_PACE_BOUND=0 whole_run SDL_AUDIODRIVER=tapehiss-no-audio
    rows+=("| $size | $way | $PASSES_PER_SECOND | $CPU_TITLE | $CPU_CREDITS | $CPU_MAIN | $CPU_END |")
    end_whole_run
  done
done
echo
echo "| Display | Way | Passes/s | Title % | Credits % | Main scene % | End screen % |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
