#!/usr/bin/env bash
# The capture tool's command line: help, refusals that leave nothing behind,
# and PNG files that decode to the full screen with the expected pictures.
# Arguments as for every end-to-end script: EXE SRC BUILD (EXE is unused).
set -euo pipefail
SRC=$(cd "$2" && pwd)
BUILD=$(cd "$3" && pwd)
CAP=$BUILD/tools/tapehiss-capture
WORK=$(mktemp -d /tmp/tapehiss-capture-test.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
FAILS=0

fail() { echo "FAIL: $*" >&2; FAILS=$((FAILS + 1)); }

[ -x "$CAP" ] || { echo "FAIL: no capture tool at $CAP" >&2; exit 1; }
source "$SRC/tools/facts.sh"
load_facts "$BUILD"

# png_check FILE WHAT: decodes the PNG with the standard library alone and
# checks it against WHAT (size only, "black", or "title" = the title asset).
png_check() {
  python3 - "$1" "$2" "$SRC/assets/title.bgra" "$FACT_SCREEN_W" "$FACT_SCREEN_H" <<'EOF'
import struct, sys, zlib
path, what, title = sys.argv[1:4]
screen_w, screen_h = int(sys.argv[4]), int(sys.argv[5])
data = open(path, 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
pos, idat, ihdr = 8, b'', None
while pos < len(data):
    n, kind = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + n]
    assert zlib.crc32(kind + body) == struct.unpack('>I', data[pos + 8 + n:pos + 12 + n])[0], 'bad CRC'
    if kind == b'IHDR': ihdr = struct.unpack('>IIBBBBB', body)
    if kind == b'IDAT': idat += body
    pos += 12 + n
w, h, depth, colour = ihdr[:4]
assert (w, h, depth, colour) == (screen_w, screen_h, 8, 2), f'got {w}x{h} depth {depth} colour type {colour}'
raw = zlib.decompress(idat)
assert len(raw) == h * (1 + 3 * w), 'wrong amount of pixel data'
# Undo the row filters to get the RGB bytes.
stride, prev, rgb = 3 * w, bytearray(3 * w), bytearray()
for y in range(h):
    f, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = row[i - 3] if i >= 3 else 0
        b = prev[i]
        c = prev[i - 3] if i >= 3 else 0
        if f == 1: row[i] = (row[i] + a) & 255
        elif f == 2: row[i] = (row[i] + b) & 255
        elif f == 3: row[i] = (row[i] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rgb += row
    prev = row
if what == 'black':
    assert not any(rgb), 'not black'
elif what == 'title':
    t = open(title, 'rb').read()
    want = bytearray(3 * w * h)
    want[0::3], want[1::3], want[2::3] = t[2::4], t[1::4], t[0::4]
    assert rgb == want, 'differs from the title picture'
elif what == 'notblack':
    assert any(rgb), 'all black'
EOF
}

# refuse WHY ARGS...: must exit non-zero with one line on stderr, write nothing.
refuse() {
  local why=$1
  shift
  local dir=$WORK/refuse
  rm -rf "$dir" && mkdir "$dir"
  local rc=0
  (cd "$dir" && "$CAP" "$@" >"$WORK/out.txt" 2>"$WORK/err.txt") || rc=$?
  [ "$rc" -ne 0 ] || fail "$why: exit status 0 for: $*"
  [ "$(wc -l <"$WORK/err.txt")" -eq 1 ] || fail "$why: expected one line on stderr, got: $(cat "$WORK/err.txt")"
  grep -q '^tapehiss-capture: ' "$WORK/err.txt" || fail "$why: message does not name the tool"
  [ -z "$(ls -A "$dir")" ] || fail "$why: left files behind: $(ls -A "$dir")"
}

# --help: usage on stdout, status 0.
"$CAP" --help >"$WORK/help.txt" || fail "--help exit status"
grep -q '^usage: tapehiss-capture' "$WORK/help.txt" || fail "--help shows no usage"
for word in title credits 'main N' 'end CYCLE STEP' --out --video-raw Examples; do
  grep -q -- "$word" "$WORK/help.txt" || fail "--help does not mention $word"
done

refuse "no scene"
refuse "unknown scene" plasma
refuse "unknown option" --frobnicate title
refuse "title takes no number" title 3
refuse "credits takes no number" credits 1
refuse "main without a number" main
refuse "main with two numbers" main 1 2
refuse "main with a word" main abc
refuse "main with a sign" main +5
refuse "main negative" main -5
refuse "main with a fraction" main 1.5
refuse "main out of range" main 1000001
refuse "main huge" main 99999999999999999999999
refuse "end without a step" end 1
refuse "end with three numbers" end 1 2 3
refuse "end cycle 0" end 0 2
refuse "end cycle 601" end 601 2
refuse "end step 1" end 1 1
refuse "end step 50" end 1 50
refuse "end empty number" end '' 2
refuse "--out without a name" title --out
refuse "--out twice" --out a.png --out b.png title
refuse "--video-raw with a scene" --video-raw title
refuse "output in a missing directory" --out "$WORK/missing/x.png" title
mkdir "$WORK/adir"
refuse "output that is a directory" --out "$WORK/adir" title
grep -q 'names a directory' "$WORK/err.txt" || fail "refusing a directory does not say so"
rmdir "$WORK/adir"
: >"$WORK/plainfile"
refuse "output below a plain file" --out "$WORK/plainfile/x.png" credits
left=()
for f in "$WORK"/* "$WORK"/.[!.]*; do
  [ -e "$f" ] || continue
  case "${f##*/}" in refuse | plainfile | *.txt) ;; *) left+=("${f##*/}") ;; esac
done
[ ${#left[@]} -eq 0 ] || fail "refusals left files in the work directory: ${left[*]}"

# Valid runs: the title is the title picture exactly, main 0 is black, and the
# default file name follows the scene.
"$CAP" --out "$WORK/title.png" title || fail "title run"
png_check "$WORK/title.png" title || fail "title PNG"
"$CAP" --out "$WORK/black.png" main 0 || fail "main 0 run"
png_check "$WORK/black.png" black || fail "main 0 PNG"
mkdir "$WORK/defaults"
(cd "$WORK/defaults" && "$CAP" end 2 49 && "$CAP" credits) || fail "runs with default names"
[ "$(cd "$WORK/defaults" && ls)" = "$(printf 'credits.png\nend-2-49.png')" ] ||
  fail "default names: $(cd "$WORK/defaults" && ls)"
png_check "$WORK/defaults/end-2-49.png" notblack || fail "end 2 49 PNG"

# An existing file is replaced whole, and readable by others like any picture.
"$CAP" --out "$WORK/title.png" main 0 || fail "overwrite run"
png_check "$WORK/title.png" black || fail "overwritten PNG"
[ "$(stat -c %a "$WORK/title.png")" != 600 ] || fail "output file left private (mode 600)"

# Standard output, a symbolic link (written through, the link stays) and a
# FIFO (written into, not replaced by a file).
"$CAP" --out - title >"$WORK/stdout.png" || fail "--out - run"
png_check "$WORK/stdout.png" title || fail "PNG on standard output"
ln -s title.png "$WORK/link.png"
"$CAP" --out "$WORK/link.png" main 0 || fail "run through a link"
[ -L "$WORK/link.png" ] || fail "the symbolic link was replaced"
png_check "$WORK/title.png" black || fail "the link's target was not written"
mkfifo "$WORK/pipe.png"
cat "$WORK/pipe.png" >"$WORK/from-pipe.png" &
"$CAP" --out "$WORK/pipe.png" title || fail "run into a FIFO"
wait $!
[ -p "$WORK/pipe.png" ] || fail "the FIFO was replaced"
png_check "$WORK/from-pipe.png" title || fail "PNG through the FIFO"

# A dangling link names the file to make; a file we may not write is refused
# (as a shell's > would), unchanged; a reader that goes away or a file-size
# limit is a failure with one line; and neither a failure nor a stop signal
# mid-write leaves a temporary file behind.
ln -s made.png "$WORK/dangling.png"
"$CAP" --out "$WORK/dangling.png" title || fail "run through a dangling link"
[ -L "$WORK/dangling.png" ] && png_check "$WORK/made.png" title || fail "the dangling link's target was not made"
# (In a folder anyone may write to, so only the file's own mode can refuse;
# root may write anything, so root tries as nobody.)
chmod 711 "$WORK"
mkdir -m 777 "$WORK/shared"
: >"$WORK/shared/readonly.png"
chmod 444 "$WORK/shared/readonly.png"
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
rc=0
"${as_user[@]}" "$CAP" --out "$WORK/shared/readonly.png" title 2>"$WORK/err.txt" || rc=$?
[ "$rc" = 2 ] && [ ! -s "$WORK/shared/readonly.png" ] && grep -q 'Permission denied' "$WORK/err.txt" ||
  fail "a read-only file was not refused (status $rc): $(cat "$WORK/err.txt")"
rc=$("$CAP" --out - title 2>"$WORK/err.txt" | head -c0; echo "${PIPESTATUS[0]}")
[ "$rc" = 2 ] && grep -q 'broken pipe' "$WORK/err.txt" || fail "a closed pipe: status $rc: $(cat "$WORK/err.txt")"
rc=0
(ulimit -f 50; exec "$CAP" --out "$WORK/big.png" title) 2>"$WORK/err.txt" || rc=$?
[ "$rc" = 2 ] && [ "$(grep -c . "$WORK/err.txt")" = 1 ] || fail "a file-size limit: status $rc: $(cat "$WORK/err.txt")"
# Every stop signal, caught while the file is being written, ends the tool
# with its own status and takes the temporary file with it. (A background
# job of a script starts with SIGINT and SIGQUIT ignored, which the tool
# keeps: here it starts as from a terminal.)
for sig in INT TERM HUP QUIT USR1 ALRM; do
  caught=
  for try in $(seq 20); do
    env --default-signal "$CAP" --out "$WORK/stopped.png" credits 2>/dev/null &
    pid=$!
    while kill -0 "$pid" 2>/dev/null && ! compgen -G "$WORK/stopped.png.tmp*" >/dev/null; do :; done
    kill -"$sig" "$pid" 2>/dev/null && caught=$try
    rc=0
    wait "$pid" 2>/dev/null || rc=$?
    [ -z "$caught" ] || break
  done
  [ -n "$caught" ] || fail "SIG$sig: never caught the capture while it wrote"
  [ "$rc" = $((128 + $(kill -l "$sig"))) ] || fail "SIG$sig: status $rc"
  leftovers=$(compgen -G "$WORK/*.tmp*" || true)
  [ -z "$leftovers" ] || fail "SIG$sig: temporary files left behind: $leftovers"
  rm -f "$WORK/stopped.png" "$WORK"/*.tmp*
done
# A signal ignored by whoever started it (nohup) does not stop it.
env --ignore-signal=HUP "$CAP" --out "$WORK/nohup.png" credits 2>/dev/null &
pid=$!
while kill -0 "$pid" 2>/dev/null && ! compgen -G "$WORK/nohup.png.tmp*" >/dev/null; do :; done
kill -HUP "$pid" 2>/dev/null || true
rc=0
wait "$pid" || rc=$?
[ "$rc" = 0 ] && png_check "$WORK/nohup.png" notblack || fail "an ignored SIGHUP stopped the capture (status $rc)"
# A name as long as a directory entry may be is written (its temporary name
# is shortened to fit).
long=$(printf 'n%.0s' $(seq 251)).png
"$CAP" --out "$WORK/$long" title 2>"$WORK/err.txt" && png_check "$WORK/$long" title ||
  fail "a 255-byte name: $(cat "$WORK/err.txt")"

# The video stream starts with the title picture and announces the music start.
FRAME=$((FACT_SCREEN_W * FACT_SCREEN_H * 3))
rc=0
"$CAP" --video-raw 2>"$WORK/video.err" | head -c $((2 * FRAME)) >"$WORK/frames.rgb" || rc=$?
[ "$(stat -c %s "$WORK/frames.rgb")" -eq $((2 * FRAME)) ] || fail "video stream too short"
grep -q '^main_start_ms [0-9][0-9]*$' "$WORK/video.err" || fail "video stream gives no main_start_ms"
python3 - "$WORK/frames.rgb" "$SRC/assets/title.bgra" <<'EOF' || fail "first video frames are not the title"
import sys
frames, t = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
want = bytearray(len(t) // 4 * 3)
want[0::3], want[1::3], want[2::3] = t[2::4], t[1::4], t[0::4]
n = len(want)
assert frames[:n] == want and frames[n:2 * n] == want
EOF

if [ "$FAILS" -ne 0 ]; then
  echo "$FAILS check(s) failed" >&2
  exit 1
fi
echo "capture command line: all checks passed"
