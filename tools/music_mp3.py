"""The MP3 container: lame's encoding, a check of every frame header, and a
hand-written ID3v2.2 tag (2,121 bytes) in front of exactly 6,940 MPEG-1
Layer III frames (48 kHz, 160 kbit/s CBR, joint stereo).
"""

import os
import subprocess
import tempfile

from music_chip import check

MP3_FRAMES = 6940
MP3_FRAME_BYTES = 480
SAMPLES_PER_MP3_FRAME = 1152
TAG_SIZE = 2111
TAG_TOTAL = 10 + TAG_SIZE
VALID_HEADERS = (b"\xff\xfb\xa4\x40", b"\xff\xfb\xa4\x60")
TITLE = "Tapehiss Meets Modernity"


# ------------------------------------------------------------ file format
def synchsafe(n):
    return bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127])


def _v22_frame(fid, data):
    return fid.encode("ascii") + len(data).to_bytes(3, "big") + data


def id3v22_tag():
    def latin(s):
        return s.encode("iso-8859-1")

    def com(desc, text):
        return _v22_frame("COM", b"\x00" + b"eng" + latin(desc) + b"\x00" + latin(text))

    body = (_v22_frame("TT2", b"\x00" + latin(TITLE))
            + _v22_frame("TEN", b"\x00" + latin("LAME (Debian) via tools/make_music.py"))
            + com("Credits", "Music and code for the intro Tapehiss Meets Modernity"
                  " by its own small team.")
            + com("Origin", "Original chiptune made for the intro.")
            + com("Synth", "Rendered by our own AY-3-8912 model in numpy: three"
                  " square tones, LFSR noise, 50 Hz register updates, ABC"
                  " stereo, tape hiss and wow, mains hum."))
    if len(body) > TAG_SIZE:
        raise ValueError("tag frames too large")
    body += b"\x00" * (TAG_SIZE - len(body))
    return b"ID3\x02\x00\x00" + synchsafe(TAG_SIZE) + body


def take_frames(stream, count):
    """First `count` fixed-size frames, each with an allowed header."""
    need = count * MP3_FRAME_BYTES
    if len(stream) < need:
        raise ValueError("only %d bytes of frames, need %d" % (len(stream), need))
    for i in range(count):
        hdr = stream[i * MP3_FRAME_BYTES:i * MP3_FRAME_BYTES + 4]
        if hdr not in VALID_HEADERS:
            raise ValueError("frame %d has header %s" % (i, hdr.hex()))
    return stream[:need]


def encode_mp3(pcm):
    """Interleaved 16-bit PCM through lame's stdin (its raw file reader may seek)."""
    with tempfile.TemporaryDirectory() as tmp:
        mp3 = os.path.join(tmp, "out.mp3")
        res = subprocess.run(["lame", "--quiet", "-r", "-s", "48", "--bitwidth", "16",
                        "--signed", "--little-endian", "-m", "j", "-b", "160",
                        "--cbr", "--resample", "48", "-q", "2", "-t", "-o",
                        "-", mp3], input=pcm.T.tobytes(), stderr=subprocess.PIPE)
        if res.returncode:
            raise RuntimeError("lame failed: " + res.stderr.decode(errors="replace"))
        with open(mp3, "rb") as f:
            return f.read()



# -------------------------------------------------------------- self-checks
def test_tag_layout():
    tag = id3v22_tag()
    check(len(tag) == TAG_TOTAL and tag[:10] == b"ID3\x02\x00\x00\x00\x00\x10\x3f",
           "tag header")
    pos, ids = 10, []
    while pos < TAG_TOTAL and tag[pos] != 0:
        fid, size = tag[pos:pos + 3].decode(), int.from_bytes(tag[pos + 3:pos + 6], "big")
        data = tag[pos + 6:pos + 6 + size]
        check(data[0] == 0, "ISO-8859-1 encoding byte")
        if fid == "COM":
            check(data[1:4] == b"eng" and b"\x00" in data[4:], "comment layout")
        ids.append(fid)
        pos += 6 + size
    check(ids == ["TT2", "TEN", "COM", "COM", "COM"], "frame list %r" % ids)
    check(tag[16:16 + 1 + len(TITLE)] == b"\x00" + TITLE.encode(), "title text")
    check(not any(tag[pos:]), "zero padding")
    check(b"\xff" not in tag, "no false sync in tag")


def test_frame_check():
    good = b"".join(h + bytes(476) for h in VALID_HEADERS * 3)
    check(len(take_frames(good + b"junk", 6)) == 6 * 480, "valid frames kept")
    for bad in (b"\xff\xfb\xa6\x40",   # padding bit
                b"\xff\xfb\xa4\x44",   # 'original' bit
                b"\xff\xfa\xa4\x40",   # CRC
                b"\xff\xfb\xa4\x50",   # intensity stereo
                b"ID3\x04"):
        try:
            take_frames(good[:480] + bad + bytes(476), 2)
            check(False, "accepted header %s" % bad.hex())
        except ValueError:
            pass
    try:
        take_frames(good, 7)
        check(False, "accepted a short stream")
    except ValueError:
        pass


SELFTESTS = [test_tag_layout, test_frame_check]
