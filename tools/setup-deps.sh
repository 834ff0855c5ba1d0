#!/usr/bin/env bash
# Installs the Debian packages the intro needs and nothing that is already
# there. Usage: tools/setup-deps.sh run|test|all
set -euo pipefail
kind=${1:-run}
pkgs=(cmake g++ make pkg-config libsdl2-dev libsdl2-mixer-dev libpng-dev)
if [ "$kind" != run ]; then
  # tests and benchmarks; Xvfb, xdotool, xwd and xprop drive the real executable;
  # xauth makes a display that refuses us; weston and mutter (with Xwayland,
  # a D-Bus session and Mesa's GL for SDL's renderer) are the Wayland desktops
  pkgs+=(libgtest-dev libbenchmark-dev xvfb xdotool x11-apps x11-utils openbox libfaketime shellcheck xauth
    weston xwayland mutter dbus-daemon libgl1-mesa-dri libegl-mesa0)
fi
if [ "$kind" = all ]; then
  # asset generators (the title needs the DejaVu Sans Bold Oblique face) and the video capture
  pkgs+=(python3-numpy python3-pil lame sox ffmpeg fonts-dejavu-extra)
fi
source "$(dirname "$0")/packages.sh"
need_packages "${pkgs[@]}"
