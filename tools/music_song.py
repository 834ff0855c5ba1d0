"""The tune: notation, instruments and the song as a per-frame register table
for the chip model in music_chip.

125 BPM: 6 frames per row, 16 rows per bar, A minor, laid out on the show's
timeline (tune time 0 = start of the main scene; see SECTIONS):

  bars  0- 3  intro       0.3 s   arps over hiss, lead, then bass and drums
  bars  4-19  theme A     8.0 s   the hook, two different eight-bar halves
  bars 20-35  theme B    38.7 s   busier answer, echo, full drums
  bars 36-39  break      69.4 s   end screen: no drums, seventh chords, about
                                  5 LU quieter, a roll builds back up
  bars 40-43  finale     77.1 s   the hook's second half, cadence Dm E
  bars 44-55  last chord 84.8 s   A major, held and decaying smoothly under
                                  the fade that the end screen asks for at
                                  98-101 s
  bars 56-83  coda      107.8 s   quiet chords and the outro line; its last
                                  chord rings on to the end at 166.56 s

Every section is a whole number of 4-bar phrases and closes with a drum
fill.  Everything is deterministic.
"""

import math

import numpy as np

from music_chip import FRAME_HZ, SPF, Regs, check, midi_freq
from music_mp3 import MP3_FRAMES, SAMPLES_PER_MP3_FRAME

TOTAL_SAMPLES = MP3_FRAMES * SAMPLES_PER_MP3_FRAME
TOTAL_FRAMES = TOTAL_SAMPLES // SPF   # 8328 player frames
TICKS_PER_ROW = 6
ROWS_PER_BAR = 16
TICKS_PER_BAR = TICKS_PER_ROW * ROWS_PER_BAR


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
LEAD_OUTRO = ["E5:8 A5:8", "F5:8 C5:8", "G5:8 E5:8", "D5:8 B4:8"]
ALL_PHRASES = [LEAD_A, LEAD_B, LEAD_INTRO, LEAD_BREAK, LEAD_OUTRO]

PROG_A = "Am F C G Am F Dm E Am F C G F G Am Am".split()
PROG_B = "Dm G C Am Dm E Am A7 F G Em Am Dm G C E".split()
PROG_BREAK = "Fmaj7 Em7 Dm7 E Fmaj7 Em7 Dm7 E7".split()

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


# The tape runs for a moment before the first note, as on a real recording.
PREROLL_FRAMES = 15                   # 0.3 s: bar 36 then starts at 69.42 s

# Section starts in bars, each section a whole number of 4-bar phrases. The
# show's timeline fixes where they fall (tune time 0 is when the main scene
# begins): the end screen takes over at about 69 s (68.5-69.5 s) and fades
# the tune between 98 and 101.5 s, so the break starts at bar 36 and the
# last chord rings from bar 44 (84.8 s) to bar 56 (107.8 s). The early
# start leaves room for a capture that runs up to 10 % slow (SDL's disk
# audio driver on a busy machine): its fade still falls on the chord.
SECTIONS = [("intro", 0), ("theme A", 4), ("theme B", 20), ("break", 36),
            ("finale", 40), ("last chord", 44), ("coda", 56)]
END_BAR = 84                          # the coda's last chord then rings to the end
PHRASE_BARS = 4


def bar_tick(bar, row=0):
    return PREROLL_FRAMES + bar * TICKS_PER_BAR + row * TICKS_PER_ROW


def section_seconds(name):
    return bar_tick(dict(SECTIONS)[name]) / FRAME_HZ


def play_lead(r, bar0, bars, shift=0, vmax=13, echo=False, ch=0, **kw):
    """The lead on channel A (left) or C (right); its echo on the other side."""
    for i, text in enumerate(bars):
        for row, ln, m in parse_bar(text):
            if m is None:
                continue
            t, dur = bar_tick(bar0 + i, row), ln * TICKS_PER_ROW
            lead_note(r, ch, t, dur, m + shift, vmax, **kw)
            if echo:
                lead_note(r, 2 - ch, t + 3 * TICKS_PER_ROW, dur, m + shift, vmax - 4,
                          blip=False, vib=kw.get("vib", True))


def play_arps(r, bar0, chords, rhythm, vmax=12, floor=9, decay=3, speed=1, shift=0, ch=2):
    for i, c in enumerate(chords):
        notes = chord_arp_notes(c, shift)
        for row, ln in ARPS[rhythm]:
            arp(r, ch, bar_tick(bar0 + i, row), ln * TICKS_PER_ROW, notes,
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


# Frames of an 8-frame cycle in bit-reversed order: the first f of them
# spread evenly over the cycle.
SPREAD8 = (0, 4, 2, 6, 1, 5, 3, 7)


def held_chord(r, t0, dur, lead, chord, bass, base=(13, 13, 13)):
    """The last chord: struck once, then decaying smoothly on the frame clock
    wherever the show fades it. Each voice's volume is counted in eighths of
    a DAC level: a fraction f plays the next level up in f of every 8 frames,
    and each step takes one eighth from one voice in turn, about 0.13 dB of
    the whole. A step every other frame for the first two seconds, the
    strike dying away, then one every 0.3 s."""
    notes = chord_arp_notes(chord)
    for k in range(dur):
        steps = k // 2 if k < 100 else 50 + (k - 100) // 15
        vol = []
        for ch in range(3):
            eighths = 8 * base[ch] - (steps + 2 - ch) // 3
            vol.append(eighths // 8 + (SPREAD8[(k + 3 * ch) % 8] < eighths % 8))
        semis = lead + (0.12 * math.sin(2 * math.pi * k / 11.0) if k >= 20 else 0)
        r.put(0, t0 + k, midi_freq(semis), vol[0])
        r.put(1, t0 + k, midi_freq(bass), vol[1])
        r.put(2, t0 + k, midi_freq(notes[(k // 2) % len(notes)]), vol[2])


def build_song():
    r = Regs(TOTAL_FRAMES)
    A1, A2 = PROG_A[:8], PROG_A[8:]
    B1 = PROG_B[:8]
    B2 = PROG_B[8:]
    bar = dict(SECTIONS)

    # intro, 4 bars: arps over hiss, then bass, lead and the first drums
    i = bar["intro"]
    play_arps(r, i, A1[4:5], "sustain", vmax=12, floor=8, decay=10)
    play_arps(r, i + 1, A1[5:8], "eighths", vmax=12, floor=8)
    play_lead(r, i, LEAD_INTRO, vmax=12, blip=False)
    play_bass(r, i + 1, A1[5:6], "long", vmax=11)
    play_bass(r, i + 2, A1[6:8], "walk", vmax=13)
    play_drums(r, i + 1, ["hats"], att=2, crash=False)
    play_drums(r, i + 2, ["intro", "introfill"], crash=False)

    # theme A, 16 bars; in the second half lead and chords change sides
    a = bar["theme A"]
    play_lead(r, a, LEAD_A[:8])
    play_lead(r, a + 8, LEAD_A[8:], ch=2)
    play_arps(r, a, A1, "eighths")
    play_arps(r, a + 8, A2, "dotted", vmax=13, floor=8, decay=4, ch=0)
    play_bass(r, a, A1, "eighths")
    play_bass(r, a + 8, A2, "gallop")
    play_drums(r, a, ["basic"] * 7 + ["fill1"])
    play_drums(r, a + 8, ["drive"] * 7 + ["fill2"])

    # theme B, 16 bars up to the end of the main scene, at full tilt
    b = bar["theme B"]
    play_lead(r, b, LEAD_B[:8])
    play_lead(r, b + 8, LEAD_B[8:], echo=True, ch=2)
    play_arps(r, b, B1, "sixteenths", vmax=12, floor=9, decay=2)
    play_bass(r, b, B1, "sync")
    play_bass(r, b + 8, B2, "sixteenths")
    play_drums(r, b, ["drive2"] * 7 + ["mini"])
    play_drums(r, b + 8, ["open"] * 7 + ["toms"])

    # break, 4 bars as the end screen comes up: no drums, seventh chords,
    # the lead quiet with its echo, answering from the other side, a roll
    # that builds back up
    k = bar["break"]
    play_lead(r, k, LEAD_BREAK[:2], vmax=12, echo=True, blip=False)
    play_lead(r, k + 2, LEAD_BREAK[2:3] + LEAD_BREAK[7:], vmax=12, echo=True, blip=False, ch=2)
    play_bass(r, k, PROG_BREAK[:3], "drone", vmax=10)
    play_bass(r, k + 3, PROG_BREAK[7:], "long", vmax=11)
    drum(r, bar_tick(k), "C", 5)
    play_drums(r, k + 1, ["hats"] * 2, att=5, crash=False)
    play_drums(r, k + 3, ["roll"], att=1, crash=False, crescendo=True)

    # finale, 4 bars: the second half of the hook and its cadence, Dm E -> A
    f = bar["finale"]
    play_lead(r, f, LEAD_A[4:6])
    play_lead(r, f + 2, LEAD_A[6:8], ch=2)
    fin = A1[4:8]
    play_arps(r, f, fin[:2], "eighths")
    play_arps(r, f + 2, fin[2:], "eighths", ch=0)
    play_bass(r, f, fin[:2], "eighths")
    play_bass(r, f + 2, fin[2:], "gallop")
    play_drums(r, f, ["basic", "drive", "drive", "fill2"])

    # the last chord, A major, held and decaying under the fade
    t0, t1 = bar_tick(bar["last chord"]), bar_tick(bar["coda"])
    held_chord(r, t0, t1 - t0, note_midi("A5"), "A", note_midi("A2"))
    drum(r, t0, "C")

    # coda after the show: the intro's chords softly, the outro line, Am to
    # the end; chords and lines change sides from phrase to phrase
    c = bar["coda"]
    phrases = ((A1[4:8] * 2, 2, None), (A1[4:8] * 2, 0, LEAD_INTRO),
               (A1[:8], 0, None), (A1[:4], 2, LEAD_OUTRO))
    for rep, (chords, side, line) in enumerate(phrases):
        c0 = c + 8 * rep
        play_arps(r, c0, chords, "eighths", vmax=8, floor=6, decay=4, ch=side)
        play_bass(r, c0, chords, "long", vmax=8)
        if line:
            play_lead(r, c0, line, vmax=8, blip=False, ch=2 - side)
        play_drums(r, c0, ["hats"] * len(chords), att=6, crash=False)
    t = bar_tick(END_BAR)
    arp(r, 2, t, TOTAL_FRAMES - t, chord_arp_notes("Am"), 7, 5, 8, speed=2)
    bass_note(r, t, TOTAL_FRAMES - t, note_midi("A2"), 7)
    return r


# -------------------------------------------------------------- self-checks
def test_notation_and_song():
    for phrase in ALL_PHRASES:
        for bar in phrase:
            parse_bar(bar)
    try:
        parse_bar("A4:15")
        check(False, "short bar accepted")
    except ValueError:
        pass
    check(note_midi("A4") == 69 and note_midi("C#5") == 73 and note_midi("Bb3") == 58,
           "note names")
    check(chord_arp_notes("F#m") == [66, 69, 73] and chord_root("Bm") == 47, "chords")
    check(TOTAL_FRAMES * SPF == TOTAL_SAMPLES, "lengths agree")
    r = build_song()
    check(np.all((r.per >= 1) & (r.per <= 4095)) and np.all((r.nper >= 1) & (r.nper <= 31)),
           "register ranges")
    sounding = (r.vol * (r.ten | r.nen)).max(axis=0) > 0
    first = int(np.argmax(sounding))
    run = longest = 0
    for s in sounding[first:]:
        run = 0 if s else run + 1
        longest = max(longest, run)
    check(longest < FRAME_HZ, "a gap of %d silent frames" % longest)
    check(first >= FRAME_HZ // 4, "only %d frames of hiss before the first note" % first)
    starts = [bar for _, bar in SECTIONS] + [END_BAR]
    check(all((b - a) % PHRASE_BARS == 0 for a, b in zip(starts, starts[1:])),
          "a section that is not whole 4-bar phrases: %r" % starts)
    check(68.5 <= section_seconds("break") <= 69.5, "the break misses the end screen")
    # The end screen's fade (requested 98 to 101 s, silent 0.5 s later, and
    # earlier in a capture that runs up to 10 % slow) must fall on the held
    # last chord: no voice changes pitch in that stretch.
    held = r.per[:, 88 * FRAME_HZ:int(101.5 * FRAME_HZ)]
    check(np.all(r.vol[:, 88 * FRAME_HZ:int(101.5 * FRAME_HZ)] > 0), "last chord stops early")
    check(np.all(held[1] == held[1, 0]) and np.all(np.abs(held[0] / held[0, 0] - 1) < 0.02),
           "a new note under the fade")
    check(r.vol[0].any() and r.vol[1].any() and r.vol[2].any(), "all voices used")


SELFTESTS = [test_notation_and_song]
