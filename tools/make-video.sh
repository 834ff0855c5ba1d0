#!/usr/bin/env bash
# Renders the whole intro to out/tapehiss.mp4 (H.264 + AAC, yuv420p) without a
# window: the capture tool streams every frame, ffmpeg encodes them, and the
# tune is laid under the picture from the start of the main scene, faded out
# over the last 500 ms.
#
#   tools/make-video.sh            # builds tapehiss-capture if needed, then encodes
#
# Needs cmake, a C++ compiler, libpng and ffmpeg (Debian's, with libx264).
# TAPEHISS_BUILD picks the build directory (default build-video); the
# encoding takes a few minutes on two cores.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${TAPEHISS_BUILD:-$ROOT/build-video}
OUT=$ROOT/out
CAP=$BUILD/tools/tapehiss-capture

if [ ! -x "$CAP" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAPEHISS_TESTS=OFF -DTAPEHISS_BENCH=OFF >/dev/null
fi
# Always brought up to date; a no-op when nothing changed.
cmake --build "$BUILD" -j2 --target tapehiss-capture >/dev/null

mkdir -p "$OUT"
TMP=$(mktemp -d "$OUT/.make-video.XXXXXX")
trap 'rm -rf "$TMP"' EXIT

echo "encoding the picture..." >&2
"$CAP" --video-raw 2>"$TMP/timing.txt" |
  ffmpeg -hide_banner -loglevel error -stats -y \
    -f rawvideo -pix_fmt rgb24 -s 1280x720 -framerate 1000/13 -i - \
    -c:v libx264 -preset fast -crf 20 -pix_fmt yuv420p \
    "$TMP/picture.mp4"

MAIN_MS=$(awk '$1 == "main_start_ms" { print $2 }' "$TMP/timing.txt")
TOTAL_MS=$(awk '$1 == "total_ms" { print $2 }' "$TMP/timing.txt")
if [ -z "$MAIN_MS" ] || [ -z "$TOTAL_MS" ]; then
  echo "make-video: the capture tool gave no timing:" >&2
  cat "$TMP/timing.txt" >&2
  exit 1
fi
TOTAL_S=$(awk -v t="$TOTAL_MS" 'BEGIN { printf "%.3f", t / 1000 }')
FADE_S=$(awk -v t="$TOTAL_MS" 'BEGIN { printf "%.3f", (t - 500) / 1000 }')
echo "tune from ${MAIN_MS} ms, fade-out from ${FADE_S} s, end at ${TOTAL_S} s" >&2

echo "adding the tune..." >&2
ffmpeg -hide_banner -loglevel error -y \
  -i "$TMP/picture.mp4" -i "$ROOT/assets/music.mp3" \
  -filter_complex "[1:a]adelay=${MAIN_MS}:all=1,afade=t=out:st=${FADE_S}:d=0.5,apad[a]" \
  -map 0:v -map "[a]" -c:v copy -c:a aac -b:a 192k -t "$TOTAL_S" -movflags +faststart \
  "$TMP/tapehiss.mp4"
mv "$TMP/tapehiss.mp4" "$OUT/tapehiss.mp4"
echo "wrote $OUT/tapehiss.mp4" >&2
