#!/usr/bin/env bash
# Makes the release archives in dist/:
#   tapehiss-VERSION-linux-x86_64.tar.gz    the self-contained executable (needs only the C
#   tapehiss-VERSION-linux-arm64.tar.gz     library), stripped, info text, licence, screenshots
#   tapehiss_VERSION_amd64.deb, _arm64.deb  the same executables with the desktop entry, icons, docs
#   tapehiss-VERSION-windows-x86_64.zip     one static tapehiss.exe, the same with CRLF line ends
#   tapehiss-VERSION-web.zip                a folder for any static web server: the page,
#                                           tapehiss.js, tapehiss.wasm, the same texts
# then unpacks each into a fresh folder and runs it from there as a new user
# would (the Linux ones in bare Debian 12 roots, the arm64 one under
# qemu-aarch64, each .deb installed, run and removed in a bare Debian 13 root,
# the Windows one under Wine, the web one in headless chromium): it must show
# every scene as drawn, or at least the title picture, and leave with status 0
# after a key press per scene.
# A video made by tools/make-video.sh --60fps is copied beside them.
# Usage: tools/make-release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -n 's/^project(tapehiss VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
dist=$root/dist
linux_build=$root/build/release

bash tools/setup-deps.sh test
source tools/packages.sh
source tools/xdisplay.sh
source tools/linux-common.sh
cache=unused source tools/cross-common.sh  # for the library versions
need_packages zip unzip wine64 binutils-mingw-w64-x86-64 chromium
cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$linux_build" -j"$(nproc)" --target tapehiss shot_check tapehiss-facts >/dev/null
source tools/facts.sh
load_facts "$linux_build"
for arch in x86_64 aarch64; do bash tools/build-linux.sh "$arch" >/dev/null; done
bash tools/build-windows.sh >/dev/null
bash tools/build-web.sh >/dev/null

# The work folder is named and its removal set up before it exists, so a
# stop at any moment leaves nothing behind.
work=$linux_build/.make-release.$$
xvfb_pid=
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
rm -rf "$work"
mkdir -p "$work"

# The info text, for PLATFORM (linux-x86_64, linux-arm64, windows or web):
# the README's user guide as plain text, under a line that names the release,
# with the files of this archive.
info_text() {
  local platform=$1 release exe
  case $platform in
    web) release="web release" exe="index.html, tapehiss.js, tapehiss.wasm   the page and the show" ;;
    windows) release="Windows x86-64 release" exe="tapehiss.exe       the show" ;;
    linux-arm64) release="Linux arm64 release" exe="tapehiss           the show" ;;
    *) release="Linux x86-64 release" exe="tapehiss           the show" ;;
  esac
  printf 'TAPEHISS MEETS MODERNITY                                          v%s\n%s\n\n' "$version" "$release"
  python3 tools/user_guide.py README.md
  cat <<EOF

FILES
  $exe
  TAPEHISS.TXT       this text
  LICENSE.txt        MIT licence, for the code and for every asset
  screenshots/       the four scenes, 1280 x 720

Copyright (c) 2026 ZVK.
EOF
}

# stage NAME PLATFORM EXE: a folder NAME with the executable and the rest.
stage() {
  local dir=$work/$1 platform=$2 exe=$3
  mkdir -p "$dir/screenshots"
  cp docs/scene-title.png docs/scene-credits.png docs/scene-main.png docs/scene-end.png "$dir/screenshots/"
  if [ "$platform" = web ]; then
    cp "$exe"/index.html "$exe"/tapehiss.js "$exe"/tapehiss.wasm "$dir/"
    info_text web >"$dir/TAPEHISS.TXT"
    cp LICENSE "$dir/LICENSE.txt"
  elif [ "$platform" = windows ]; then
    x86_64-w64-mingw32-strip -o "$dir/tapehiss.exe" "$exe"
    info_text windows | sed 's/$/\r/' >"$dir/TAPEHISS.TXT"
    sed 's/$/\r/' LICENSE >"$dir/LICENSE.txt"
  else
    "$(tool_prefix "$(elf_arch "$exe")")strip" -o "$dir/tapehiss" "$exe"
    check_self_contained "$dir/tapehiss"
    info_text "$platform" >"$dir/TAPEHISS.TXT"
    cp LICENSE "$dir/LICENSE.txt"
  fi
}

# check_run LABEL COMMAND...: runs a freshly unpacked executable on a private
# X display, waits for the title picture, presses a key per scene and wants
# exit status 0.
check_run() {
  local label=$1 pid rc seen=
  shift
  start_xvfb 1280x720
  xvfb_pid=$XVFB_PID
  if [ "$1" = "${WINE:-}" ]; then wine_prefix_ready; fi
  "$@" >"$work/run.log" 2>&1 &
  pid=$!
  for _ in $(seq 600); do
    xwd -root -silent >"$work/shot.xwd" 2>/dev/null || true
    seen=$("$linux_build/tests/shot_check" classify "$work/shot.xwd" 2>/dev/null || true)
    [ "$seen" = title ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [ "$seen" = title ] || { echo "$label: no title picture (saw '$seen')" >&2; cat "$work/run.log" >&2; return 1; }
  for _ in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || break
    xdotool key space
    sleep 1
  done
  rc=0
  wait "$pid" || rc=$?
  kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
  [ "$rc" = 0 ] || { echo "$label: exit status $rc" >&2; cat "$work/run.log" >&2; return 1; }
  echo "$label: unpacked and run: title shown, left with status 0"
}

mkdir -p "$dist"
windows_name=tapehiss-$version-windows-x86_64
web_name=tapehiss-$version-web
rm -f "$dist"/tapehiss-"$version"-linux-*.tar.gz "$dist"/tapehiss_"$version"_*.deb
for arch in x86_64 aarch64; do
  linux_name=tapehiss-$version-linux-${arch/aarch64/arm64}
  stage "$linux_name" "linux-${arch/aarch64/arm64}" "build/linux-$arch/tapehiss"
  tar -C "$work" --owner=0 --group=0 --sort=name -czf "$dist/$linux_name.tar.gz" "$linux_name"
  deb=tapehiss_${version}_$(deb_arch "$arch").deb
  cp "build/linux-$arch/$deb" "$dist/"
  # The package's dependencies are dpkg-shlibdeps' word: the C library alone.
  depends=$(dpkg-deb -f "$dist/$deb" Depends)
  [ "$depends" = "libc6 (>= $glibc_floor)" ] || { echo "$deb depends on: $depends" >&2; exit 1; }
done
stage "$windows_name" windows build/windows/tapehiss.exe
stage "$web_name" web build/web
rm -f "$dist/$windows_name.zip" "$dist/$web_name.zip"
(cd "$work" && zip -qr -X "$dist/$windows_name.zip" "$windows_name")
(cd "$work" && zip -qr -X "$dist/$web_name.zip" "$web_name")

# As a new user: unpack into fresh folders and run from there; the Linux
# archives in bare Debian 12 roots, each .deb (beside it) in a bare Debian 13.
for arch in x86_64 aarch64; do
  linux_name=tapehiss-$version-linux-${arch/aarch64/arm64}
  mkdir "$work/try-$arch"
  tar -C "$work/try-$arch" -xzf "$dist/$linux_name.tar.gz"
  cp "$dist/tapehiss_${version}_$(deb_arch "$arch").deb" "$work/try-$arch/$linux_name/"
  for case_ in bookworm trixie; do
    bash tests/e2e/test_bare_root.sh "$work/try-$arch/$linux_name/tapehiss" "$root" "$linux_build" "$case_" |
      grep -v '^PASS$'
  done
done
mkdir "$work/try-windows"
unzip -q "$dist/$windows_name.zip" -d "$work/try-windows"
source tools/wine-env.sh
check_run "$windows_name" "$WINE" "$work/try-windows/$windows_name/tapehiss.exe"
"$WINESERVER" -k 2>/dev/null || true

# The web folder served as it unpacks, walked through in headless chromium.
mkdir "$work/try-web"
unzip -q "$dist/$web_name.zip" -d "$work/try-web"
source tools/web-env.sh
web_test_deps build/web-node
node build/web-node/show.mjs walk "$work/try-web/$web_name" "$work" "$linux_build/tests/shot_check" >"$work/web.log" ||
  { cat "$work/web.log" >&2; exit 1; }
echo "$web_name: unpacked, served and played in headless chromium: every scene as drawn, left with status 0"

if [ -f out/tapehiss-60fps.mp4 ]; then
  cp out/tapehiss-60fps.mp4 "$dist/tapehiss-$version-1280x720-60fps.mp4"
else
  echo "no out/tapehiss-60fps.mp4: make it with tools/make-video.sh --60fps for the video" >&2
fi
ls -l "$dist"
