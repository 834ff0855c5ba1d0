"""The tune: notation, instruments and the song as a per-frame register table
for the chip model in music_chip.

125 BPM: 6 frames per row, 16 rows per bar, A minor, laid out on the show's
timeline (tune time 0 = start of the main scene; see SECTIONS). Channel B,
in the middle of the stereo picture, carries the lead all the way; A (a
little to the left) the bass, with the kick and toms cutting into it; C (right) the chords, the
counter-line and echo, with the snare and hats.

  bars  0- 3  intro       0.3 s   arps fade in over the hiss, lead, bass, drums
  bars  4-19  theme A     8.0 s   the hook (3+3+2), two eight-bar halves, the
                                  second over a counter-line and a galloping bass
  bars 20-35  theme B    38.7 s   a tone up in B minor: the buzzer bass on the
                                  chip's envelope, its own hook (2+2+1+3),
                                  a counter-line in its second half
  bars 36-39  break      69.4 s   end screen: back in A minor, no drums,
                                  seventh chords, the lead and its echo, the
                                  bass stepping up a tone into B minor
  bars 40-48  finale     77.1 s   in B minor over the buzzer: the hook once
                                  more, then a closing phrase and a bar of
                                  tom fill with a falling run
  bar  49     hit        94.4 s   one struck B minor chord on the envelope's
                                  single decay, gone within 3 s
  then        tail       97.4 s   the recorded hiss until the taper's pause key
                                  at 97.8 s, blank tape until the stop key at
                                  102 s; silence to the end of the file

Everything is deterministic.
"""

import math

import numpy as np

from music_chip import CLOCK, FRAME_HZ, SPF, Regs, check, env_period, midi_freq
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
        r.put(BASS_CH, t0 + k, midi_freq(midi), v)


def drum(r, t0, kind, att=0, ch=2):
    """Drums cut into whatever the channel plays while they sound."""
    def put(k, freq, vol, tone, noise, nper=None):
        r.put(ch, t0 + k, freq, vol - att, tone, noise, nper)

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
# Theme B, in B minor: its own hook, two quick notes, a snap and a held one
# (2+2+1+3), answered in the second half of the bar.
LEAD_B = [
    "F#5:2 F#5:2 B5:1 F#5:3 D5:2 E5:2 F#5:4", "G5:2 G5:2 B5:1 G5:3 D5:8",
    "A5:2 A5:2 D6:1 A5:3 F#5:2 G5:2 A5:4", "E5:4 C#5:4 E5:4 A5:4",
    "F#5:2 F#5:2 B5:1 F#5:3 D5:2 E5:2 F#5:4", "G5:2 G5:2 B5:1 D6:3 B5:8",
    "B5:2 A5:2 G5:1 E5:3 G5:2 B5:2 E6:4", "C#6:6 A#5:2 F#5:8",
    "D6:2 D6:2 F#6:1 D6:3 B5:2 C#6:2 D6:4", "B5:2 B5:2 D6:1 B5:3 G5:8",
    "A5:2 A5:2 D6:1 F#6:3 E6:2 D6:2 A5:4", "C#6:4 E6:4 A5:4 C#6:4",
    "D6:2 D6:2 B5:1 G5:3 B5:2 D6:2 B5:4", "E6:2 E6:2 C#6:1 A5:3 C#6:2 E6:2 C#6:4",
    "D6:6 C#6:2 A#5:4 F#5:4", "F#5:12 -:4",
]
# A counter-line under A's second half on the chords' channel: long notes
# under the hook, so the texture turns from arpeggios to three parts.
COUNTER_A = ["A4:8 C5:8", "C5:8 A4:8", "G4:8 E4:8", "D5:8 G4:8",
             "A4:8 C5:8", "B4:8 D5:8", "C5:8 E5:8", "E5:8 A4:8"]
# The counter-line under B's second half, in long notes on the chords' thirds.
COUNTER_B = ["F#5:8 D5:8", "D5:8 B4:8", "F#5:8 A5:8", "E5:8 C#5:8",
             "D5:8 B4:8", "C#5:8 E5:8", "A#4:8 C#5:8", "F#5:8 A#4:8"]
LEAD_INTRO = ["E5:8 C5:8", "C5:8 A4:8", "D5:8 F5:8", "E5:4 G#4:4 B4:8"]
LEAD_BREAK = ["E6:8 C6:8", "B5:8 G5:8", "A5:8 F5:8", "G#5:8 B5:4 A#5:4"]
# The closing phrase: the hook's rhythm once more, climbing to the top, then
# a falling run over the fill down to the leading note, which the hit resolves.
LEAD_CLOSE = ["A5:3 C6:3 A5:2 F5:4 A5:4", "B5:3 D6:3 B5:2 G5:4 D6:4",
              "E6:4 D6:4 C6:4 B5:4", "G#5:4 B5:4 E6:8",
              "E6:2 D6:2 C6:2 B5:2 A5:2 B5:2 C6:1 B5:1 G#5:2"]
ALL_PHRASES = [LEAD_A, LEAD_B, COUNTER_A, COUNTER_B, LEAD_INTRO, LEAD_BREAK, LEAD_CLOSE]

PROG_A = "Am F C G Am F Dm E Am F C G F G Am Am".split()
PROG_B = "Bm G D A Bm G Em F# Bm G D A G A F# F#".split()
PROG_BREAK = "Fmaj7 Em7 Dm7 E7".split()
PROG_CLOSE = "F G E E7 E7".split()
FINALE_SHIFT = 2                        # the finale is played a tone up, in B minor

LEAD_CH, BASS_CH, CHORD_CH = 1, 0, 2    # B in the middle, A left, C right
DRUM_CH = CHORD_CH                      # drums cut into the other voices, as on the machine:
LOW_DRUMS = "KTML"                      # kick and toms into the bass, the rest into the chords

# Bass patterns: (row, rows, interval above the chord root).
BASS = {
    "eighths": [(0, 2, 0), (2, 2, 0), (4, 2, 12), (6, 2, 0), (8, 2, 0),
                (10, 2, 0), (12, 2, 12), (14, 2, 7)],
    "sync": [(0, 3, 0), (3, 3, 0), (6, 2, 12), (8, 3, 0), (11, 3, 7), (14, 2, 12)],
    "walk": [(0, 4, 0), (4, 4, 7), (8, 4, 12), (12, 4, 7)],
    "gallop": [(0, 2, 0), (2, 1, 0), (3, 1, 0), (4, 2, 12), (6, 1, 0), (7, 1, 0),
               (8, 2, 0), (10, 1, 0), (11, 1, 0), (12, 2, 12), (14, 2, 7)],
    "long": [(0, 12, 0), (12, 4, 7)],
    "lift": [(0, 12, 0), (12, 4, 2)],   # a whole tone up into the next key
    "drone": [(0, 16, 0)],
    "pedal": [(r, 2, 0) for r in range(0, 16, 2)],
    # the buzzer's figure: the hook's 2+2+1+3 in the bass, then driving eighths
    "buzz": [(0, 2, 0), (2, 2, 0), (4, 1, 12), (5, 3, 0), (8, 2, 0), (10, 2, 12),
             (12, 2, 0), (14, 2, 7)],
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
    "lift": "K...S..KK...S...",
    "fill1": "K.h.S.h.S.SRS.SS",
    "fill2": "K.h.S.hKS.SKSSSS",
    "mini": "K.h.S.h.K.h.SRSR",
    "toms": "K.h.S.h.T.T.M.L.",
    "introfill": "K.h.K.h.T.T.M.L.",
    "roll": "RRRRRRRRSSSSSSSS",
    "bigfill": "K.T.T.M.M.L.LLSS",
}


# The tape runs for a moment before the first note: the play key's click,
# the leader, the hiss swelling as the oxide reaches the head.
PREROLL_FRAMES = 15                   # 0.3 s: bar 36 then starts at 69.42 s

# Section starts in bars. The show's timeline fixes where they fall (tune
# time 0 is when the main scene begins): the end screen takes over at about
# 69 s (68.5-69.5 s), so the break starts at bar 36; it fades the tune about
# 30 s later (98.5-101 s), so the hit at bar 49 (94.4 s) has died away into
# the hiss before that, and a capture that runs up to 10 % slow (SDL's disk
# audio driver on a busy machine) fades during the closing phrase instead.
# The finale is two phrases and one bar of fill.
SECTIONS = [("intro", 0), ("theme A", 4), ("theme B", 20), ("break", 36),
            ("finale", 40), ("hit", 49), ("tail", 51)]
PHRASE_BARS = 4
HIT_DECAY_S = 3.0                     # the envelope's single decay, 16 steps
REC_END_S = 97.8                      # the taper's pause key: the recording ends, blank tape follows
STOP_S = 102.0                        # the stop key, once the fade (98.5-101 s) is over


def bar_tick(bar, row=0):
    return PREROLL_FRAMES + bar * TICKS_PER_BAR + row * TICKS_PER_ROW


def section_seconds(name):
    return bar_tick(dict(SECTIONS)[name]) / FRAME_HZ


def play_lead(r, bar0, bars, shift=0, vmax=13, echo=False, ch=LEAD_CH, echo_ch=CHORD_CH, **kw):
    """A line of the notation on a channel, by default the lead in the
    middle; its echo three rows later and softer on the right."""
    for i, text in enumerate(bars):
        for row, ln, m in parse_bar(text):
            if m is None:
                continue
            t, dur = bar_tick(bar0 + i, row), ln * TICKS_PER_ROW
            lead_note(r, ch, t, dur, m + shift, vmax, **kw)
            if echo:
                lead_note(r, echo_ch, t + 3 * TICKS_PER_ROW, dur, m + shift, vmax - 3,
                          blip=False, vib=kw.get("vib", True))


def play_arps(r, bar0, chords, rhythm, vmax=12, floor=9, decay=3, speed=1, shift=0, ch=CHORD_CH):
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


def buzz_note(r, t0, dur, midi, shape=8):
    """The buzzer bass: the channel's volume follows the envelope, a saw
    repeating at the note's pitch, restarted on every note for its bite;
    the tone is off, so the saw is the sound. No gap between notes: a level
    that dips on the frame clock would sound as a line at 50 Hz."""
    period = env_period(midi_freq(midi))
    for k in range(dur):
        r.put_env(BASS_CH, t0 + k, None, tone=False)
        r.envelope(t0 + k, period, shape, restart=False)


def play_buzz(r, bar0, chords, pattern, octave=0, shift=0):
    for i, c in enumerate(chords):
        root = chord_root(c, shift) + 12 * octave
        for row, ln, iv in BASS[pattern]:
            buzz_note(r, bar_tick(bar0 + i, row), ln * TICKS_PER_ROW, root + iv)


def play_drums(r, bar0, names, att=0, crash=True, crescendo=False, ch=DRUM_CH):
    for i, name in enumerate(names):
        for row, kind in enumerate(DRUMS[name]):
            if kind == ".":
                continue
            if crash and i == 0 and row == 0 and kind == "K":
                kind = "C"
            a = att + ((15 - row) // 3 if crescendo else 0)
            drum(r, bar_tick(bar0 + i, row), kind, a, BASS_CH if kind in LOW_DRUMS else ch)


def hit(r, t0, chord_notes, decay_s=HIT_DECAY_S):
    """The final hit: all three voices on the envelope's single decay, so
    the chord dies in the chip's sixteen uneven steps; a crash of noise on
    the right for its first frames."""
    period = int(round(decay_s * CLOCK / 256.0))
    frames = int(decay_s * FRAME_HZ) + 2
    for k in range(frames):
        for ch, m in zip((BASS_CH, LEAD_CH, CHORD_CH), chord_notes):
            r.put_env(ch, t0 + k, midi_freq(m), tone=True, noise=(ch == CHORD_CH and k < 12),
                      nper=3 + k // 4)
        r.envelope(t0 + k, period, 0, restart=(k == 0))


def build_song():
    r = Regs(TOTAL_FRAMES)
    A1, A2 = PROG_A[:8], PROG_A[8:]
    B1, B2 = PROG_B[:8], PROG_B[8:]
    bar = dict(SECTIONS)

    # intro, 4 bars: arps fade in over the hiss, then bass, lead and drums
    i = bar["intro"]
    play_arps(r, i, A1[4:5], "sustain", vmax=10, floor=7, decay=12)
    play_arps(r, i + 1, A1[5:8], "eighths", vmax=11, floor=8)
    play_lead(r, i, LEAD_INTRO, vmax=11, blip=False)
    play_bass(r, i + 1, A1[5:6], "long", vmax=10)
    play_bass(r, i + 2, A1[6:8], "walk", vmax=12)
    play_drums(r, i + 1, ["hats"], att=3, crash=False)
    play_drums(r, i + 2, ["intro", "introfill"], att=1, crash=False)

    # theme A, 16 bars: the hook in the middle, chords and drums on the
    # right; in the second half a counter-line takes the chords' place
    a = bar["theme A"]
    play_lead(r, a, LEAD_A, vmax=13)
    play_arps(r, a, A1, "eighths", vmax=13, floor=10)
    play_lead(r, a + 8, COUNTER_A, vmax=12, ch=CHORD_CH, blip=False)
    play_bass(r, a, A1, "eighths", vmax=14)
    play_bass(r, a + 8, A2, "gallop", vmax=15)
    play_drums(r, a, ["basic"] * 7 + ["fill1"], att=1)
    play_drums(r, a + 8, ["drive"] * 7 + ["fill2"], att=1)

    # theme B, 16 bars a tone up: the buzzer bass, sixteenth arps and
    # driving drums, then the counter-line on the right over the buzz
    b = bar["theme B"]
    play_lead(r, b, LEAD_B, vmax=14)
    play_buzz(r, b, B1 + B2, "buzz")
    play_arps(r, b, B1, "sixteenths", vmax=13, floor=11, decay=2)
    play_lead(r, b + 8, COUNTER_B, vmax=12, ch=CHORD_CH, blip=False)
    play_drums(r, b, ["drive2"] * 7 + ["mini"])
    play_drums(r, b + 8, ["lift"] * 7 + ["toms"], att=1)

    # break, 4 bars as the end screen comes up: back in A minor, no drums,
    # seventh chords, the lead quiet with its echo on the right, a roll
    # that builds back up and the bass stepping up into B minor
    k = bar["break"]
    play_lead(r, k, LEAD_BREAK, vmax=11, echo=True, blip=False)
    play_bass(r, k, PROG_BREAK[:3], "drone", vmax=11)
    play_bass(r, k + 3, PROG_BREAK[3:], "lift", vmax=12)
    drum(r, bar_tick(k), "C", 5, DRUM_CH)
    play_drums(r, k + 3, ["roll"], att=1, crash=False, crescendo=True)

    # finale, 9 bars in B minor, over the buzzer all the way: the hook once
    # more, then the closing phrase, and a bar of tom fill into the hit
    f = bar["finale"]
    play_lead(r, f, LEAD_A[:4], vmax=14, shift=FINALE_SHIFT)
    play_arps(r, f, A1[:4], "sixteenths", vmax=14, floor=12, decay=2, shift=FINALE_SHIFT)
    play_buzz(r, f, A1[:4], "buzz", shift=FINALE_SHIFT)
    play_drums(r, f, ["drive2", "drive2", "drive2", "fill2"])
    play_lead(r, f + 4, LEAD_CLOSE, vmax=14, shift=FINALE_SHIFT)
    play_arps(r, f + 4, PROG_CLOSE, "dotted", vmax=13, floor=9, decay=4, shift=FINALE_SHIFT)
    play_buzz(r, f + 4, PROG_CLOSE[:2], "buzz", shift=FINALE_SHIFT)
    play_buzz(r, f + 6, PROG_CLOSE[2:], "pedal", shift=FINALE_SHIFT)
    play_drums(r, f + 4, ["drive", "drive", "drive2", "fill2", "bigfill"])

    # the hit: B minor struck once, dying on the envelope; then only the tape
    hit(r, bar_tick(bar["hit"]), [note_midi("B2"), note_midi("B5"), note_midi("F#5")])
    return r


# -------------------------------------------------------------- self-checks
def bar_rhythms(phrase):
    """The rows at which the notes of each bar start and how long they are."""
    return [tuple(ln for _, ln, m in parse_bar(text) if m is not None) for text in phrase]


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
    sounding = ((r.vol * (r.ten | r.nen)).max(axis=0) > 0) | r.env.any(axis=0)
    first = int(np.argmax(sounding))
    end = bar_tick(dict(SECTIONS)["hit"])
    check(first >= FRAME_HZ // 4, "only %d frames of hiss before the first note" % first)
    run = longest = 0
    for on in sounding[first:end]:
        run = 0 if on else run + 1
        longest = max(longest, run)
    check(longest < FRAME_HZ, "a gap of %d silent frames before the hit" % longest)
    check(not sounding[end + int((HIT_DECAY_S + 0.2) * FRAME_HZ):].any(), "a note after the hit")
    starts = [bar for _, bar in SECTIONS]
    check(all((b - a) % PHRASE_BARS == 0 for a, b in zip(starts[:-3], starts[1:-2]))
          and (starts[-2] - starts[-3]) % PHRASE_BARS == 1,
          "a section that is not whole 4-bar phrases (the finale one bar more): %r" % starts)
    check(68.5 <= section_seconds("break") <= 69.5, "the break misses the end screen")
    check(section_seconds("hit") + HIT_DECAY_S < REC_END_S < 98.5 and 101.0 < STOP_S,
          "the hit rings into the fade, or a key of the deck falls in it")
    # The lead stays in the middle: no lead note on a side channel.
    lead_frames = r.vol[LEAD_CH, bar_tick(4):end] > 0
    check(lead_frames.mean() > 0.8, "the lead is missing from the middle")
    # Theme B has a rhythm of its own: its most common bar opening is not
    # A's, and opens most of its bars; the buzzer runs under all of it.
    def opening(phrase):
        heads = [rh[:3] for rh in bar_rhythms(phrase)]
        best = max(set(heads), key=heads.count)
        return best, heads.count(best)
    (ha, na), (hb, nb) = opening(LEAD_A), opening(LEAD_B)
    check(ha == (3, 3, 2) and na >= 8 and hb != ha and nb >= 9,
          "theme B's hook: %r in %d bars, A's %r in %d" % (hb, nb, ha, na))
    b0, b1 = bar_tick(dict(SECTIONS)["theme B"]), bar_tick(dict(SECTIONS)["break"])
    f0 = bar_tick(dict(SECTIONS)["finale"])
    check(r.env[BASS_CH, b0:b1].mean() > 0.8 and not r.env[:, bar_tick(4):b0].any()
          and r.env[BASS_CH, f0:end].mean() > 0.75, "the buzzer bass is not B's and the finale's")
    check(r.vol[0].any() and r.vol[1].any() and r.vol[2].any(), "all voices used")


SELFTESTS = [test_notation_and_song]
