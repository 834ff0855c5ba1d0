#!/usr/bin/env bash
# Renders the whole intro to out/tapehiss.mp4 (H.264 + AAC, yuv420p) without a
# window: the capture tool streams every frame, ffmpeg encodes them, and the
# tune is laid under the picture from the start of the main scene, faded out
# over the last 500 ms.
#
#   tools/make-video.sh            # every frame, at the main loop's 1000/13 fps
#   tools/make-video.sh --60fps    # out/tapehiss-60fps.mp4 for video sites
#
# At 60 fps each output frame, at time n/60 s, is the frame the show has on
# screen at that moment (the last one drawn at or before it). The plasma
# recolours every pixel every frame, which no encoder predicts well: a clean
# constant quality (x264 crf 28) needs about 17 Mbit/s there, some 150 MB for
# the show. So this mode encodes in two passes at an average 6.5 Mbit/s
# (about 95 MB with the tune); the second pass gives the plasma what the
# still title and credits do not need.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${TAPEHISS_BUILD:-$ROOT/build-video}
OUT=$ROOT/out
CAP=$BUILD/tools/tapehiss-capture
NAME=tapehiss
# The stream comes at 1000/13 fps; fps=60:round=up puts each drawn frame into
# the first 1/60 s slot at or after its start and keeps the last one per slot.
RETIME=()
RATE=(-crf 20)
TWO_PASS=
case "${1:-}" in
  "") ;;
  --60fps)
    NAME=tapehiss-60fps
    RETIME=(-vf fps=60:round=up)
    # A keyframe every half second and a capped peak rate, as video sites ask.
    RATE=(-b:v 6500k -maxrate 20M -bufsize 40M -g 30 -profile:v high)
    TWO_PASS=1
    ;;
  *) echo "usage: tools/make-video.sh [--60fps]" >&2; exit 2 ;;
esac

if [ ! -x "$CAP" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAPEHISS_TESTS=OFF -DTAPEHISS_BENCH=OFF >/dev/null
fi
# Always brought up to date; a no-op when nothing changed.
cmake --build "$BUILD" -j2 --target tapehiss-capture >/dev/null

# The work folder is named and its removal set up before it exists, so a
# stop at any moment leaves nothing behind (a stale one of a killed run with
# the same number is ours to clear).
TMP=$OUT/.make-video.$$
trap 'rm -rf "$TMP"' EXIT
rm -rf "$TMP"
mkdir -p "$TMP"

if [ -n "$TWO_PASS" ]; then
  echo "encoding the picture, first pass..." >&2
  "$CAP" --video-raw 2>/dev/null |
    ffmpeg -hide_banner -loglevel error -stats -y \
      -f rawvideo -pix_fmt rgb24 -s 1280x720 -framerate 1000/13 -i - "${RETIME[@]}" \
      -c:v libx264 -preset fast "${RATE[@]}" -pix_fmt yuv420p -pass 1 -passlogfile "$TMP/x264" \
      -f mp4 /dev/null
  RATE+=(-pass 2 -passlogfile "$TMP/x264")
fi
echo "encoding the picture..." >&2
"$CAP" --video-raw 2>"$TMP/timing.txt" |
  ffmpeg -hide_banner -loglevel error -stats -y \
    -f rawvideo -pix_fmt rgb24 -s 1280x720 -framerate 1000/13 -i - "${RETIME[@]}" \
    -c:v libx264 -preset fast "${RATE[@]}" -pix_fmt yuv420p \
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
  "$TMP/$NAME.mp4"
mv "$TMP/$NAME.mp4" "$OUT/$NAME.mp4"
echo "wrote $OUT/$NAME.mp4 ($(du -m "$OUT/$NAME.mp4" | cut -f1) MB)" >&2
