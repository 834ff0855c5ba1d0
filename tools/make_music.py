#!/usr/bin/python3
"""Render the soundtrack of "Tapehiss Meets Modernity" to assets/music.mp3.

Run with Debian's interpreter (it has numpy):  /usr/bin/python3 tools/make_music.py
Self-checks:                                   /usr/bin/python3 tools/make_music.py --selftest

Synth model (a small AY-3-8912 as found in a ZX Spectrum 128)
--------------------------------------------------------------
* Chip clock 1.7734 MHz.  Three square-wave tone generators; a channel's
  pitch is a 12-bit period register P (1..4095), frequency = clock/(16*P),
  so every note is slightly out of tune in the way the real chip is.
* One shared noise generator: a 17-bit LFSR (feedback bit0 xor bit3)
  clocked at clock/(16*NP), NP being the 5-bit noise period register.
* Per channel mixer as on the chip: output = (tone OR tone-disabled) AND
  (noise OR noise-disabled), scaled by a 4-bit volume through a logarithmic
  DAC (3 dB per level, level 0 silent).  The output is unipolar; the DC is
  removed later the way the machine's coupling capacitor would.
* All register writes happen once per 1/50 s frame, like a player routine
  running from the Spectrum's frame interrupt.  The song is therefore first
  turned into a table of register values per frame (`Regs`), and only then
  rendered to audio.
* Rendering is band-limited: tone and noise are integrated analytically
  over each sample of a 4x oversampled stream (box filter, no naive steps),
  then a 255-tap windowed-sinc low-pass decimates to 48 kHz.
* ABC stereo: A left, B centre, C right, with bleed between the sides.
* "Recorded from the real machine": a little tape wow, a DC-blocking
  high-pass, a gentle low-pass, and faint shaped hiss (about -48 dBFS).

Song (125 BPM: 6 frames per row, 16 rows per bar, A minor, later B minor)
--------------------------------------------------------------------------
Channel A carries the lead, B the bass with the drums cutting into it
(kick = falling tone plus a noise click, snare = noise with decay, hats =
short high noise), C the arpeggiated chords or, in places, an echo of the
lead three rows late and four volume levels down.

  bars  0- 7  intro      arps alone, hats, then bass and a soft counter line
  bars  8-23  theme A    the hook, two different eight-bar halves
  bars 24-39  theme B    busier answer, then long vibrato notes
  bars 40-47  break      seventh chords, lead with echo, snare-roll build
  bars 48-55  solo       fast arpeggio runs with echo, then arps return
  bars 56-71  reprise    theme A a tone up, new bass, drums and arps
  bars 72-79  theme B'   second half of B a tone up
  bars 80-86  ending     the hook slowed down, drums thin out, Bm to fade

Every section closes with a drum fill.  Everything is deterministic (no
randomness except seeded hiss), so rebuilding gives a byte-identical file.

Output file: hand-written ID3v2.2 tag (2,121 bytes) followed by exactly
6,940 MPEG-1 Layer III frames (48 kHz, 160 kbit/s CBR, joint stereo) from
Debian's lame.
"""

import hashlib
import math
import os
import subprocess
import sys
import tempfile

import numpy as np

# ---------------------------------------------------------------- constants
CLOCK = 1773400
FS = 48000
OS = 4
FS_OS = FS * OS
FRAME_HZ = 50
SPF = FS // FRAME_HZ                  # output samples per 50 Hz frame
TOTAL_SAMPLES = 7994880
TOTAL_FRAMES = TOTAL_SAMPLES // SPF   # 8328 player frames
TICKS_PER_ROW = 6
ROWS_PER_BAR = 16
TICKS_PER_BAR = TICKS_PER_ROW * ROWS_PER_BAR

MP3_FRAMES = 6940
MP3_FRAME_BYTES = 480
TAG_SIZE = 2111
TAG_TOTAL = 10 + TAG_SIZE
VALID_HEADERS = (b"\xff\xfb\xa4\x40", b"\xff\xfb\xa4\x60")
TITLE = "Tapehiss Meets Modernity"

# Logarithmic DAC: 3 dB per step, level 0 silent.
AY_LEVELS = np.array([0.0] + [10 ** ((v - 15) * 3.0 / 20) for v in range(1, 16)])

# Stereo gains (left, right) for channels A, B, C.
PAN = np.array([[1.0, 0.35], [0.75, 0.75], [0.35, 1.0]])


def ay_period(freq):
    """Tone period register for a frequency, clamped to the 12-bit range."""
    return int(min(4095, max(1, round(CLOCK / (16.0 * freq)))))


def midi_freq(m):
    return 440.0 * 2.0 ** ((m - 69) / 12.0)


def lfsr_sequence():
    """One full period of the 17-bit noise LFSR output (bit 0)."""
    n = (1 << 17) - 1
    out = np.empty(n, np.uint8)
    s = 1
    for i in range(n):
        out[i] = s & 1
        fb = (s ^ (s >> 3)) & 1
        s = (s >> 1) | (fb << 16)
    return out


# ------------------------------------------------------- register timeline
class Regs:
    """Register values per 50 Hz frame for the three channels."""

    def __init__(self, frames=TOTAL_FRAMES):
        self.n = frames
        self.per = np.full((3, frames), 1000, np.int64)
        self.vol = np.zeros((3, frames), np.int64)
        self.ten = np.zeros((3, frames), bool)
        self.nen = np.zeros((3, frames), bool)
        self.nper = np.full(frames, 16, np.int64)

    def put(self, ch, t, freq=None, vol=0, tone=True, noise=False, nper=None):
        if not 0 <= t < self.n:
            return
        if freq is not None:
            self.per[ch, t] = ay_period(freq)
        self.vol[ch, t] = int(min(15, max(0, vol)))
        self.ten[ch, t] = tone
        self.nen[ch, t] = noise
        if nper is not None:
            self.nper[t] = int(min(31, max(1, nper)))


# ------------------------------------------------------------- instruments
def lead_note(r, ch, t0, dur, midi, vmax, blip=True, vib=True, floor_drop=4,
              sag_every=30):
    """Lead voice: octave blip on the first frame, delayed vibrato, slow sag."""
    for k in range(dur):
        semis = midi + (12 if blip and k == 0 else 0)
        if vib and k >= 14:
            depth = min(1.0, (k - 14) / 20.0) * 0.22
            semis += depth * math.sin(2 * math.pi * (k - 14) / 9.0)
        if k == 0:
            v = vmax - 1
        elif k < 24:
            v = vmax
        else:
            v = max(vmax - floor_drop, vmax - 1 - (k - 24) // sag_every)
        if dur >= 4 and k == dur - 1:
            v -= 3  # articulation gap before the next note
        r.put(ch, t0 + k, midi_freq(semis), v)


def arp(r, ch, t0, dur, notes, vmax, floor, decay, speed=1):
    """Chord as a fast arpeggio, the chip's way of playing harmony on one voice."""
    for k in range(dur):
        n = notes[(k // speed) % len(notes)]
        r.put(ch, t0 + k, midi_freq(n), max(floor, vmax - k // decay))


def bass_note(r, t0, dur, midi, vmax):
    for k in range(dur):
        v = max(vmax - 4, vmax - k // 2)
        if dur >= 3 and k == dur - 1:
            v -= 4
        r.put(1, t0 + k, midi_freq(midi), v)


def drum(r, t0, kind, att=0):
    """Drums live on channel B and cut into the bass while they sound."""
    def put(k, freq, vol, tone, noise, nper=None):
        r.put(1, t0 + k, freq, vol - att, tone, noise, nper)

    if kind in "KC":
        for k, (f, v) in enumerate(zip([190, 125, 88, 66, 54], [15, 15, 14, 12, 9])):
            if kind == "C" and k >= 2:
                break
            put(k, f, v, True, k == 0, 12 if k == 0 else None)
        if kind == "C":  # crash: kick thump then a long bright noise tail
            for k in range(2, 34):
                put(k, None, 14 - (k - 2) // 3, False, True, 2 + k // 12)
    elif kind == "S":
        vols = [15, 14, 13, 11, 9, 7]
        for k, v in enumerate(vols):
            put(k, [260, 190][k] if k < 2 else None, v, k < 2, True, 5 + k)
    elif kind == "R":
        for k, v in enumerate([13, 11, 8]):
            put(k, None, v, False, True, 6 + k)
    elif kind == "h":
        for k, v in enumerate([11, 7]):
            put(k, None, v, False, True, 1)
    elif kind == "o":
        for k, v in enumerate([11, 10, 9, 8, 6, 4]):
            put(k, None, v, False, True, 1)
    elif kind in "TML":
        f = {"T": 330.0, "M": 240.0, "L": 170.0}[kind]
        for k, v in enumerate([15, 14, 13, 12, 11, 9, 7]):
            put(k, f * 0.9 ** k, v, True, k == 0, 8 if k == 0 else None)


# --------------------------------------------------------------- notation
PITCH = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
QUALITY = {"": [0, 4, 7], "m": [0, 3, 7], "7": [0, 4, 7, 10],
           "maj7": [0, 4, 7, 11], "m7": [0, 3, 7, 10]}


def note_midi(s):
    acc = {"#": 1, "b": -1}.get(s[1], 0)
    return 12 * (int(s[2 if acc else 1:]) + 1) + PITCH[s[0]] + acc


def parse_bar(text):
    """'E5:3 A5:3 -:2 ...' -> [(row, rows, midi or None)], must fill 16 rows."""
    out, row = [], 0
    for tok in text.split():
        name, ln = tok.split(":")
        out.append((row, int(ln), None if name == "-" else note_midi(name)))
        row += int(ln)
    if row != ROWS_PER_BAR:
        raise ValueError("bar has %d rows: %r" % (row, text))
    return out


def parse_chord(name):
    """'F#m7' -> (pitch class, intervals)."""
    acc = {"#": 1, "b": -1}.get(name[1:2], 0)
    pc = (PITCH[name[0]] + acc) % 12
    return pc, QUALITY[name[1 + (1 if acc else 0):]]


def chord_arp_notes(chord, shift=0):
    pc, ivs = parse_chord(chord)
    base = 60 + (pc + shift) % 12
    return [base + i for i in ivs]


def chord_root(chord, shift=0):
    return 36 + (parse_chord(chord)[0] + shift) % 12


# ------------------------------------------------------------ the tune
LEAD_A = [
    "E5:3 A5:3 E5:2 C5:2 D5:2 E5:4", "F5:3 E5:3 C5:2 A4:8",
    "G4:2 C5:2 E5:2 G5:4 F5:2 E5:2 D5:2", "D5:3 B4:3 G4:2 D5:8",
    "E5:3 A5:3 B5:2 C6:4 B5:2 A5:2", "A5:3 G5:3 F5:2 E5:4 C5:4",
    "D5:2 F5:2 A5:2 G5:2 F5:2 E5:2 D5:2 C5:2", "B4:4 G#4:4 E5:8",
    "E5:3 A5:3 E5:2 C6:4 B5:4", "A5:3 C6:3 A5:2 F5:8",
    "G5:2 E5:2 C5:2 E5:2 G5:3 A5:3 G5:2", "B5:6 D6:2 B5:8",
    "C6:3 A5:3 F5:2 A5:4 C6:4", "D6:3 B5:3 G5:2 B5:4 D6:4",
    "E6:6 D6:2 C6:4 B5:4", "A5:12 -:4",
]
LEAD_B = [
    "A4:2 D5:2 F5:2 A5:3 G5:3 F5:2 E5:2", "D5:4 -:2 B4:2 D5:2 G5:6",
    "E5:2 G5:2 C6:3 B5:3 G5:2 E5:4", "A5:10 G5:2 E5:2 C5:2",
    "D5:2 F5:2 A5:2 D6:3 C6:3 A5:2 F5:2", "G#5:4 B5:4 E6:4 D6:2 B5:2",
    "C6:3 B5:3 A5:2 E5:3 C5:3 A4:2", "C#5:4 E5:4 G5:4 A5:2 C#6:2",
    "A5:12 G5:2 F5:2", "G5:10 A5:2 B5:4",
    "B5:8 E6:4 D6:2 B5:2", "C6:12 B5:2 A5:2",
    "F5:4 A5:4 D6:4 C6:2 A5:2", "B5:4 D6:4 G6:4 F6:2 D6:2",
    "E6:6 D6:2 C6:2 G5:2 E5:4", "G#5:4 B5:4 E5:4 -:4",
]
LEAD_INTRO = ["E5:8 C5:8", "C5:8 A4:8", "D5:8 F5:8", "E5:4 G#4:4 B4:8"]
LEAD_BREAK = [
    "E6:8 C6:8", "B5:8 G5:8", "A5:8 F5:8", "G#5:12 B5:4",
    "A5:4 C6:4 E6:8", "D6:8 B5:8", "C6:4 A5:4 F5:8", "E5:8 G#5:4 B5:4",
]
LEAD_SOLO = [
    "A5:1 C6:1 E6:1 A6:1 E6:1 C6:1 A5:2 G5:2 A5:2 C6:2 E6:2",
    "D6:2 B5:2 G5:2 D6:2 B5:2 G5:2 D6:2 G6:2",
    "A6:4 G6:2 F6:2 E6:2 C6:2 A5:4", "G#5:2 B5:2 E6:2 G#6:2 E6:6 -:2",
    "E6:3 D6:3 C6:2 B5:3 A5:3 G5:2", "B5:3 A5:3 G5:2 D6:8",
    "C6:2 A5:2 F5:2 A5:2 C6:2 F6:2 A6:4", "G#6:4 E6:8 -:4",
]
LEAD_OUTRO = ["E5:8 A5:8", "F5:8 C5:8", "G5:8 E5:8", "D5:8 B4:8"]
ALL_PHRASES = [LEAD_A, LEAD_B, LEAD_INTRO, LEAD_BREAK, LEAD_SOLO, LEAD_OUTRO]

PROG_A = "Am F C G Am F Dm E Am F C G F G Am Am".split()
PROG_B = "Dm G C Am Dm E Am A7 F G Em Am Dm G C E".split()
PROG_BREAK = "Fmaj7 Em7 Dm7 E Fmaj7 Em7 Dm7 E7".split()
PROG_SOLO = "Am G F E Am G F E".split()

# Bass patterns: (row, rows, interval above the chord root).
BASS = {
    "eighths": [(0, 2, 0), (2, 2, 0), (4, 2, 12), (6, 2, 0), (8, 2, 0),
                (10, 2, 0), (12, 2, 12), (14, 2, 7)],
    "sync": [(0, 3, 0), (3, 3, 0), (6, 2, 12), (8, 3, 0), (11, 3, 7), (14, 2, 12)],
    "walk": [(0, 4, 0), (4, 4, 7), (8, 4, 12), (12, 4, 7)],
    "sixteenths": [(r, 1, 12 if r % 4 == 2 else 0) for r in range(16)],
    "octaves": [(r, 1, 12 * (r % 2)) for r in range(16)],
    "gallop": [(0, 2, 0), (2, 1, 0), (3, 1, 0), (4, 2, 12), (6, 1, 0), (7, 1, 0),
               (8, 2, 0), (10, 1, 0), (11, 1, 0), (12, 2, 12), (14, 2, 7)],
    "long": [(0, 12, 0), (12, 4, 7)],
    "drone": [(0, 16, 0)],
}
# Arp retrigger rhythms: (row, rows).
ARPS = {
    "sustain": [(0, 16)],
    "eighths": [(r, 2) for r in range(0, 16, 2)],
    "sixteenths": [(r, 1) for r in range(16)],
    "dotted": [(0, 3), (3, 3), (6, 4), (10, 3), (13, 3)],
}
# Drum rows: K kick, S snare, R ghost snare, h/o closed/open hat,
# T/M/L toms, C kick with crash.
DRUMS = {
    "hats": "..h...h...h...h.",
    "intro": "K.h...h.K.h...h.",
    "basic": "K.h.S.h.K.h.S.h.",
    "open": "K.h.S.h.K.o.S.h.",
    "drive": "K.h.S.hKK.h.S.h.",
    "drive2": "K.hKS.h.K.hKS.ho",
    "half": "K...h...S...h...",
    "fill1": "K.h.S.h.S.SRS.SS",
    "fill2": "K.h.S.hKS.SKSSSS",
    "mini": "K.h.S.h.K.h.SRSR",
    "toms": "K.h.S.h.T.T.M.L.",
    "introfill": "K.h.K.h.T.T.M.L.",
    "roll": "RRRRRRRRSSSSSSSS",
}


def bar_tick(bar, row=0):
    return bar * TICKS_PER_BAR + row * TICKS_PER_ROW


def play_lead(r, bar0, bars, shift=0, vmax=13, echo=False, **kw):
    for i, text in enumerate(bars):
        for row, ln, m in parse_bar(text):
            if m is None:
                continue
            t, dur = bar_tick(bar0 + i, row), ln * TICKS_PER_ROW
            lead_note(r, 0, t, dur, m + shift, vmax, **kw)
            if echo:
                lead_note(r, 2, t + 3 * TICKS_PER_ROW, dur, m + shift, vmax - 4,
                          blip=False, vib=kw.get("vib", True))


def play_arps(r, bar0, chords, rhythm, vmax=12, floor=9, decay=3, speed=1, shift=0):
    for i, c in enumerate(chords):
        notes = chord_arp_notes(c, shift)
        for row, ln in ARPS[rhythm]:
            arp(r, 2, bar_tick(bar0 + i, row), ln * TICKS_PER_ROW, notes,
                vmax, floor, decay, speed)


def play_bass(r, bar0, chords, pattern, vmax=14, shift=0):
    for i, c in enumerate(chords):
        root = chord_root(c, shift)
        for row, ln, iv in BASS[pattern]:
            bass_note(r, bar_tick(bar0 + i, row), ln * TICKS_PER_ROW, root + iv, vmax)


def play_drums(r, bar0, names, att=0, crash=True, crescendo=False):
    for i, name in enumerate(names):
        for row, ch in enumerate(DRUMS[name]):
            if ch == ".":
                continue
            if crash and i == 0 and row == 0 and ch == "K":
                ch = "C"
            a = att + ((15 - row) // 3 if crescendo else 0)
            drum(r, bar_tick(bar0 + i, row), ch, a)


def build_song():
    r = Regs()
    A1, A2 = PROG_A[:8], PROG_A[8:]
    B1, B2 = PROG_B[:8], PROG_B[8:]

    # intro, bars 0-7
    play_arps(r, 0, A1[:2], "sustain", vmax=12, floor=8, decay=10)
    play_arps(r, 2, A1[2:4], "eighths", vmax=12, floor=8)
    play_arps(r, 4, A1[4:], "eighths")
    play_bass(r, 2, A1[2:4], "long", vmax=11)
    play_drums(r, 2, ["hats"] * 2, att=2, crash=False)
    play_bass(r, 4, A1[4:], "walk", vmax=13)
    play_drums(r, 4, ["intro"] * 3 + ["introfill"], crash=False)
    play_lead(r, 4, LEAD_INTRO, vmax=12, blip=False)

    # theme A, bars 8-23
    play_lead(r, 8, LEAD_A)
    play_arps(r, 8, A1, "eighths")
    play_arps(r, 16, A2, "dotted", vmax=13, floor=8, decay=4)
    play_bass(r, 8, A1, "eighths")
    play_bass(r, 16, A2, "gallop")
    play_drums(r, 8, ["basic"] * 7 + ["fill1"])
    play_drums(r, 16, ["drive"] * 7 + ["fill2"])

    # theme B, bars 24-39
    play_lead(r, 24, LEAD_B)
    play_arps(r, 24, B1, "sixteenths", vmax=12, floor=9, decay=2)
    play_arps(r, 32, B2, "sustain", vmax=13, floor=8, decay=8)
    play_bass(r, 24, B1, "sync")
    play_bass(r, 32, B2, "sixteenths")
    play_drums(r, 24, ["drive2"] * 7 + ["mini"])
    play_drums(r, 32, ["open"] * 7 + ["toms"])

    # break, bars 40-47: no arps, the echo fills channel C
    play_lead(r, 40, LEAD_BREAK, vmax=14, echo=True, blip=False)
    play_bass(r, 40, PROG_BREAK[:4], "drone", vmax=12)
    play_bass(r, 44, PROG_BREAK[4:], "sync", vmax=13)
    drum(r, bar_tick(40), "C", 2)
    play_drums(r, 44, ["half"] * 3, crash=False)
    play_drums(r, 47, ["roll"], crash=False, crescendo=True)

    # solo, bars 48-55
    play_lead(r, 48, LEAD_SOLO[:4], echo=True, blip=False)
    play_lead(r, 52, LEAD_SOLO[4:], blip=False)
    play_arps(r, 52, PROG_SOLO[4:], "eighths")
    play_bass(r, 48, PROG_SOLO, "octaves")
    play_drums(r, 48, ["drive"] * 7 + ["fill1"])

    # reprise a tone up, bars 56-71
    play_lead(r, 56, LEAD_A[:8], shift=2)
    play_lead(r, 64, LEAD_A[8:], shift=2, echo=True)
    play_arps(r, 56, A1, "sixteenths", vmax=12, floor=9, decay=2, shift=2)
    play_bass(r, 56, A1, "sixteenths", shift=2)
    play_bass(r, 64, A2, "gallop", shift=2)
    play_drums(r, 56, ["drive2"] * 7 + ["mini"])
    play_drums(r, 64, ["open"] * 7 + ["fill2"])

    # theme B' a tone up, bars 72-79
    play_lead(r, 72, LEAD_B[8:], shift=2)
    play_arps(r, 72, B2, "dotted", vmax=13, floor=8, decay=4, shift=2)
    play_bass(r, 72, B2[:4], "walk", shift=2)
    play_bass(r, 76, B2[4:], "eighths", shift=2)
    play_drums(r, 72, ["drive"] * 7 + ["toms"])

    # ending, bars 80-86.75: slowed hook, thinning drums, Bm to the fade
    play_lead(r, 80, LEAD_OUTRO, shift=2, vmax=14, echo=True, blip=False)
    play_bass(r, 80, A1[:4], "long", vmax=13, shift=2)
    play_drums(r, 80, ["half", "half"])
    play_drums(r, 82, ["hats"], att=2, crash=False)
    play_drums(r, 83, ["hats"], att=4, crash=False)
    t, rest = bar_tick(84), TOTAL_FRAMES - bar_tick(84)
    lead_note(r, 0, t, rest, note_midi("B5"), 13, blip=False, floor_drop=7,
              sag_every=30)
    arp(r, 2, t, rest, chord_arp_notes("Bm"), 11, 5, 40, speed=2)
    bass_note(r, t, rest, note_midi("B2"), 13)
    drum(r, t, "C")
    return r


# ---------------------------------------------------------------- renderer
def _square_tri(p):
    """Periodic part of the double integral of a unit square wave (high for
    the first half cycle); the p**2/4 + p/8 trend is left out so precision
    does not depend on how far the phase has run."""
    u = p - np.floor(p)
    return np.where(u <= 0.5, u * u / 4 - u / 8, 0.375 * u - u * u / 4 - 0.125)


class _Noise:
    def __init__(self):
        self.seq = lfsr_sequence().astype(np.float64)
        self.n = len(self.seq)
        self.cum = np.concatenate(([0.0], np.cumsum(self.seq)))

    def integral(self, p):
        fl = np.floor(p)
        q, k = np.divmod(fl, self.n)
        k = k.astype(np.int64)
        return q * self.cum[-1] + self.cum[k] + (p - fl) * self.seq[k]


def lowpass_fir(taps=255, cutoff=20000.0, fs=FS_OS):
    n = np.arange(taps) - (taps - 1) / 2.0
    h = 2 * cutoff / fs * np.sinc(2 * cutoff / fs * n) * np.blackman(taps)
    return h / h.sum()


class Renderer:
    """Turns a Regs table into 48 kHz stereo, a block of frames at a time."""

    def __init__(self):
        self.noise = _Noise()
        self.phase = np.zeros(3)
        self.nphase = 0.0
        self.fir = lowpass_fir()
        self.hist = np.zeros((2, len(self.fir) - 1))

    def _noise(self, start, rate):
        """Noise averaged over each sample (box filter): aliased noise is still noise."""
        inc = np.repeat(rate, SPF * OS)
        p_end = start + np.cumsum(inc)
        p_start = np.concatenate(([start], p_end[:-1]))
        return (self.noise.integral(p_end) - self.noise.integral(p_start)) / inc, p_end[-1]

    @staticmethod
    def _tone(start, rate):
        """Square wave seen through a two-sample triangle kernel: the second
        difference of its double integral.  Its sinc^2 response keeps
        folded harmonics of high notes 75 dB or more below the tone."""
        inc = np.repeat(rate, SPF * OS)
        p = start + np.concatenate(([0.0], np.cumsum(inc[:-1])))
        v = 0.5 + (_square_tri(p + inc) - 2 * _square_tri(p) + _square_tri(p - inc)) / (inc * inc)
        return v, p[-1] + inc[-1]

    def render_block(self, regs, t0, t1):
        m = SPF * OS
        nrate = CLOCK / (16.0 * regs.nper[t0:t1]) / FS_OS
        noise, end = self._noise(self.nphase, nrate)
        self.nphase = end % self.noise.n
        mix = np.zeros((2, (t1 - t0) * m))
        for ch in range(3):
            rate = CLOCK / (16.0 * regs.per[ch, t0:t1]) / FS_OS
            tone, end = self._tone(self.phase[ch], rate)
            self.phase[ch] = end % 1.0
            ten = np.repeat(regs.ten[ch, t0:t1], m)
            nen = np.repeat(regs.nen[ch, t0:t1], m)
            gate = np.where(ten, tone, 1.0) * np.where(nen, noise, 1.0)
            sig = np.repeat(AY_LEVELS[regs.vol[ch, t0:t1]], m) * gate
            mix += PAN[ch][:, None] * sig[None, :]
        return self._decimate(mix)

    def _decimate(self, x):
        x = np.concatenate([self.hist, x], axis=1)
        self.hist = x[:, -(len(self.fir) - 1):]
        n = x.shape[1] + len(self.fir)
        nfft = 1 << (n - 1).bit_length()
        y = np.fft.irfft(np.fft.rfft(x, nfft) * np.fft.rfft(self.fir, nfft), nfft)
        y = y[:, len(self.fir) - 1:x.shape[1]]
        return y[:, ::OS]

    def render(self, regs, block=200):
        out = [self.render_block(regs, t, min(regs.n, t + block))
               for t in range(0, regs.n, block)]
        return np.concatenate(out, axis=1)


# ----------------------------------------------------- "real machine" path
def fft_filter(x, hp=22.0, lp=11000.0):
    """Zero-phase DC blocker (the coupling capacitor) and gentle low-pass."""
    n = x.shape[1]
    nfft = 1 << (n - 1).bit_length()
    f = np.fft.rfftfreq(nfft, 1.0 / FS)
    hpr = (f / hp) ** 2
    h = hpr / (1 + hpr) / np.sqrt(1 + (f / lp) ** 4)
    return np.fft.irfft(np.fft.rfft(x, nfft) * h, nfft)[:, :n]


def tape_wow(x):
    """Slow speed drift of a cassette: a few hundredths of a percent."""
    n = x.shape[1]
    t = np.arange(n) / FS
    dev = 0.0006 * np.sin(2 * np.pi * 0.55 * t) + 0.0003 * np.sin(2 * np.pi * 0.17 * t + 1.0)
    # integrate the speed deviation into a read-position offset (in samples)
    offset = np.cumsum(dev)
    pos = np.arange(n) + offset - offset[0]
    idx = np.arange(n, dtype=np.float64)
    return np.stack([np.interp(pos, idx, c) for c in x])


def tape_hiss(n, level_db=-48.0, seed=1984):
    rng = np.random.default_rng(seed)
    w = rng.standard_normal((2, n))
    w[1] = 0.6 * w[1] + 0.4 * w[0]  # heads pick up some common noise
    nfft = 1 << (n - 1).bit_length()
    f = np.fft.rfftfreq(nfft, 1.0 / FS)
    shape = (f / 1500.0) / np.sqrt(1 + (f / 1500.0) ** 2) / np.sqrt(1 + (f / 9000.0) ** 4)
    h = np.fft.irfft(np.fft.rfft(w, nfft) * shape, nfft)[:, :n]
    h *= 10 ** (level_db / 20) / np.sqrt(np.mean(h ** 2))
    return h


def master(x):
    x = tape_wow(x)
    x = fft_filter(x)
    n = x.shape[1]
    fade_len = 2 * FS
    fade = np.ones(n)
    fade[-fade_len:] = 0.5 + 0.5 * np.cos(np.linspace(0, np.pi, fade_len))
    x = x * fade
    peak = 10 ** (-1.0 / 20)
    x = x * (peak / np.max(np.abs(x)))
    x = x + tape_hiss(n)
    x = x * (peak / np.max(np.abs(x)))
    return np.round(x * 32767).astype("<i2")


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
                  " stereo, a little tape hiss."))
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


def build(out_path):
    regs = build_song()
    audio = Renderer().render(regs)[:, :TOTAL_SAMPLES]
    pcm = master(audio)
    stream = encode_mp3(pcm)
    data = id3v22_tag() + take_frames(stream, MP3_FRAMES)
    assert len(data) == TAG_TOTAL + MP3_FRAMES * MP3_FRAME_BYTES
    os.makedirs(os.path.dirname(out_path), exist_ok=True)
    with open(out_path, "wb") as f:
        f.write(data)
    ms = sum(1 for i in range(MP3_FRAMES)
             if data[TAG_TOTAL + i * 480 + 3] == 0x60)
    print("wrote %s: %d bytes, %d frames (%d mid/side), sha256 %s"
          % (out_path, len(data), MP3_FRAMES, ms, hashlib.sha256(data).hexdigest()))


# -------------------------------------------------------------- self-checks
def _check(cond, what):
    if not cond:
        raise AssertionError(what)


def test_pitch_and_levels():
    _check(ay_period(440.0) == 252, "A4 period")
    _check(ay_period(10.0) == 4095 and ay_period(1e7) == 1, "period clamp")
    for m in range(40, 100):  # quantisation error stays within half a step
        p = ay_period(midi_freq(m))
        f = CLOCK / (16.0 * p)
        _check(abs(f - midi_freq(m)) <= CLOCK / 16.0 * (1 / (p - 0.5) - 1 / p),
               "pitch step for note %d" % m)
    _check(AY_LEVELS[0] == 0 and abs(AY_LEVELS[15] - 1) < 1e-12, "DAC ends")
    steps = 20 * np.log10(AY_LEVELS[2:] / AY_LEVELS[1:-1])
    _check(np.all(np.abs(steps - 3.0) < 0.01), "3 dB per level")


def test_lfsr():
    seq = lfsr_sequence()
    s = 1
    for _ in range(len(seq)):
        s = (s >> 1) | (((s ^ (s >> 3)) & 1) << 16)
    _check(s == 1, "LFSR returns to its seed after 2^17-1 steps")
    _check(abs(int(seq.sum()) - 65536) <= 1, "LFSR balanced")
    _check(len(set(seq[:34].tolist())) == 2, "LFSR not stuck")


def test_bandlimited_tone():
    """A high note must come out at the chip's pitch with little aliasing."""
    r = Regs(100)
    r.per[0, :] = 35
    r.vol[0, :] = 15
    r.ten[0, :] = True
    y = Renderer().render(r, block=40)[0, 48000:96000]
    y = y - y.mean()  # the chip output is unipolar
    spectrum = np.abs(np.fft.rfft(y * np.hanning(len(y))))
    f = np.fft.rfftfreq(len(y), 1.0 / FS)
    f0 = CLOCK / (16.0 * 35)
    _check(abs(f[np.argmax(spectrum[10:]) + 10] - f0) < 2.0, "fundamental")
    harm = np.zeros(len(f), bool)
    for k in range(1, 8):
        harm |= np.abs(f - k * f0) < 30
    harm |= f < 40
    alias = 20 * np.log10(spectrum[~harm & (f < 20000)].max() / spectrum.max())
    _check(alias < -68, "aliasing at %.1f dB" % alias)


def test_mixer_logic():
    """Duty cycles are right, and tone with noise combines as AND."""
    r = Regs(60)
    r.per[:, :] = 100
    r.vol[:, :] = 15
    r.nper[:] = 4
    r.ten[0] = True                    # tone only -> half the time high
    r.nen[1] = True                    # noise only -> about half
    r.ten[2] = r.nen[2] = True         # both -> about a quarter
    ren = Renderer()
    ren.fir = np.array([1.0])          # no smoothing: look at raw levels
    ren.hist = np.zeros((2, 0))
    y = ren.render_block(r, 0, 60)
    _check(y.shape == (2, 60 * SPF), "block size")
    left = PAN[:, 0] * np.array([0.5, 0.5, 0.25])
    right = PAN[:, 1] * np.array([0.5, 0.5, 0.25])
    _check(abs(y[0].mean() - left.sum()) < 0.03 and abs(y[1].mean() - right.sum()) < 0.03,
           "mix levels %r" % (y.mean(axis=1),))
    solo = Regs(60)
    solo.per[2], solo.vol[2], solo.nper[:] = 100, 15, 4
    solo.ten[2] = solo.nen[2] = True
    ren2 = Renderer()
    ren2.fir, ren2.hist = np.array([1.0]), np.zeros((2, 0))
    both = ren2.render_block(solo, 0, 60)[1] / PAN[2, 1]
    _check(abs(both.mean() - 0.25) < 0.03, "AND of tone and noise: %.3f" % both.mean())
    _check(both.max() <= 1.0 + 1e-6 and both.min() >= -1e-6, "gate stays within 0..1")


def test_block_independence():
    """Phase, noise and filter state carry across blocks: block size must not matter."""
    rng = np.random.default_rng(7)
    r = Regs(90)
    r.per[:] = rng.integers(20, 3000, (3, 90))
    r.vol[:] = rng.integers(0, 16, (3, 90))
    r.ten[:] = rng.random((3, 90)) < 0.8
    r.nen[:] = rng.random((3, 90)) < 0.3
    r.nper[:] = rng.integers(1, 32, 90)
    a = Renderer().render(r, block=90)
    b = Renderer().render(r, block=7)
    _check(a.shape == b.shape == (2, 90 * SPF), "rendered length")
    _check(np.max(np.abs(a - b)) < 1e-5, "block seams differ by %g" % np.max(np.abs(a - b)))


def test_tape_path():
    n = 4 * FS
    h = tape_hiss(n)
    _check(abs(20 * np.log10(np.sqrt(np.mean(h ** 2))) + 48) < 0.1, "hiss level")
    spectrum = np.abs(np.fft.rfft(h[0])) ** 2
    f = np.fft.rfftfreq(n, 1.0 / FS)
    _check(spectrum[f < 200].mean() < 0.05 * spectrum[(f > 3000) & (f < 6000)].mean(), "hiss is shaped")
    t = np.arange(n) / FS
    x = np.stack([np.full(n, 0.5) + 0.3 * np.sin(2 * np.pi * 1000 * t)] * 2)
    y = fft_filter(x)[:, FS:-FS]
    _check(abs(y.mean()) < 1e-3, "DC removed")
    _check(abs(np.abs(y).max() - 0.3) < 0.01, "1 kHz passes")
    w = tape_wow(x)
    _check(w.shape == x.shape, "wow keeps length")
    _check(np.abs(w - x).max() > 0.01, "wow moves the signal at all")
    z = np.append(np.diff(np.sign(w[0] - 0.5)) != 0, False)
    cycles = z.reshape(-1, FS // 2).sum(axis=1) / 2.0
    _check(np.all(np.abs(cycles / 500.0 - 1) < 0.002), "wow stays a hint: %r" % cycles)


def test_notation_and_song():
    for phrase in ALL_PHRASES:
        for bar in phrase:
            parse_bar(bar)
    try:
        parse_bar("A4:15")
        _check(False, "short bar accepted")
    except ValueError:
        pass
    _check(note_midi("A4") == 69 and note_midi("C#5") == 73 and note_midi("Bb3") == 58,
           "note names")
    _check(chord_arp_notes("F#m") == [66, 69, 73] and chord_root("Bm") == 47, "chords")
    _check(TOTAL_FRAMES * SPF == TOTAL_SAMPLES == MP3_FRAMES * 1152, "lengths agree")
    r = build_song()
    _check(np.all((r.per >= 1) & (r.per <= 4095)) and np.all((r.nper >= 1) & (r.nper <= 31)),
           "register ranges")
    sounding = (r.vol * (r.ten | r.nen)).max(axis=0) > 0
    first = int(np.argmax(sounding))
    run = longest = 0
    for s in sounding[first:]:
        run = 0 if s else run + 1
        longest = max(longest, run)
    _check(longest < FRAME_HZ, "a gap of %d silent frames" % longest)
    _check(r.vol[0].any() and r.vol[1].any() and r.vol[2].any(), "all voices used")


def test_tag_layout():
    tag = id3v22_tag()
    _check(len(tag) == TAG_TOTAL and tag[:10] == b"ID3\x02\x00\x00\x00\x00\x10\x3f",
           "tag header")
    pos, ids = 10, []
    while pos < TAG_TOTAL and tag[pos] != 0:
        fid, size = tag[pos:pos + 3].decode(), int.from_bytes(tag[pos + 3:pos + 6], "big")
        data = tag[pos + 6:pos + 6 + size]
        _check(data[0] == 0, "ISO-8859-1 encoding byte")
        if fid == "COM":
            _check(data[1:4] == b"eng" and b"\x00" in data[4:], "comment layout")
        ids.append(fid)
        pos += 6 + size
    _check(ids == ["TT2", "TEN", "COM", "COM", "COM"], "frame list %r" % ids)
    _check(tag[16:16 + 1 + len(TITLE)] == b"\x00" + TITLE.encode(), "title text")
    _check(not any(tag[pos:]), "zero padding")
    _check(b"\xff" not in tag, "no false sync in tag")


def test_frame_check():
    good = b"".join(h + bytes(476) for h in VALID_HEADERS * 3)
    _check(len(take_frames(good + b"junk", 6)) == 6 * 480, "valid frames kept")
    for bad in (b"\xff\xfb\xa6\x40",   # padding bit
                b"\xff\xfb\xa4\x44",   # 'original' bit
                b"\xff\xfa\xa4\x40",   # CRC
                b"\xff\xfb\xa4\x50",   # intensity stereo
                b"ID3\x04"):
        try:
            take_frames(good[:480] + bad + bytes(476), 2)
            _check(False, "accepted header %s" % bad.hex())
        except ValueError:
            pass
    try:
        take_frames(good, 7)
        _check(False, "accepted a short stream")
    except ValueError:
        pass


def selftest():
    tests = [test_pitch_and_levels, test_lfsr, test_bandlimited_tone, test_mixer_logic,
             test_block_independence, test_tape_path, test_notation_and_song,
             test_tag_layout, test_frame_check]
    for t in tests:
        t()
        print("ok", t.__name__)


if __name__ == "__main__":
    if "--selftest" in sys.argv[1:]:
        selftest()
    else:
        root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        build(os.path.join(root, "assets", "music.mp3"))
