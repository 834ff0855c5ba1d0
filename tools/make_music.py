#!/usr/bin/python3
"""Render the soundtrack of "Tapehiss Meets Modernity" to assets/music.mp3.

Run with Debian's interpreter (it has numpy):  /usr/bin/python3 tools/make_music.py
Self-checks:                                   /usr/bin/python3 tools/make_music.py --selftest

The chip model is in music_chip, the song in music_song, the taped sound in
music_master and the file layout in music_mp3. Everything is deterministic
(no randomness except seeded hiss), so rebuilding gives a byte-identical file.
"""

import hashlib
import os
import sys

import music_chip
import music_master
import music_mp3
import music_song
from music_chip import Renderer
from music_master import master
from music_mp3 import MP3_FRAME_BYTES, MP3_FRAMES, TAG_TOTAL, encode_mp3, id3v22_tag, take_frames
from music_song import REC_END_S, STOP_S, TOTAL_SAMPLES, build_song, section_seconds


def build(out_path):
    regs = build_song()
    audio = Renderer().render(regs)[:, :TOTAL_SAMPLES]
    # the tape is worn under the break, where the music is thinnest
    pcm = master(audio, STOP_S, REC_END_S, first_s=section_seconds("intro"),
                 worn=(section_seconds("break"), section_seconds("finale")))
    stream = encode_mp3(pcm)
    data = id3v22_tag() + take_frames(stream, MP3_FRAMES)
    assert len(data) == TAG_TOTAL + MP3_FRAMES * MP3_FRAME_BYTES
    os.makedirs(os.path.dirname(out_path), exist_ok=True)
    with open(out_path, "wb") as f:
        f.write(data)
    ms = sum(1 for i in range(MP3_FRAMES)
             if data[TAG_TOTAL + i * MP3_FRAME_BYTES + 3] == 0x60)
    print("wrote %s: %d bytes, %d frames (%d mid/side), sha256 %s"
          % (out_path, len(data), MP3_FRAMES, ms, hashlib.sha256(data).hexdigest()))


def selftest():
    for mod in (music_chip, music_song, music_master, music_mp3):
        for t in mod.SELFTESTS:
            t()
            print("ok", mod.__name__, t.__name__)


if __name__ == "__main__":
    if "--selftest" in sys.argv[1:]:
        selftest()
    else:
        root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        build(os.path.join(root, "assets", "music.mp3"))
