"""Mastering: the chip as taped from the machine on a cassette deck. Tape
wow and flutter (about 0.3 %, more where the tape is worn), the motor coming
up to speed under the first note, the cassette's top-end roll-off, loudness
set to about -11 LUFS under a peak limiter, dark hiss that the recorder's
automatic level control lifts in the quiet places (-43 dBFS under the
themes, -37 alone), a trace of mains hum (-60 dBFS), and the keys: the play
click and the hiss swelling before the first note, the taper's pause key
where the recording ends and the quieter blank tape after it, the stop
click where the tape ends.
"""

import numpy as np

from music_chip import FS, check

TARGET_LUFS = -10.5   # integrated loudness before the encoder and the hiss (meters -11)
LIMIT_DB = -2.8       # sample peak ceiling; leaves room for the encoder's overshoot
HISS_DB = -37.0       # tape hiss alone (RMS per channel), where the music is quiet
HISS_DUCK_DB = 6.0    # how far under that the level control holds it under loud music
BLANK_DB = -43.0      # the blank tape after the recording: nothing lifts its hiss
SPIN_CENTS = -40.0    # the motor is still this slow at the first note ...
SPIN_S = 0.25         # ... and up to speed this much later
TAPE_LP_HZ = 10500.0  # the cassette's top end rolls off from here
PLAY_CLICK_S = 0.04   # the play key; the hiss swells in over the next 0.2 s
HUM_DB = -60.0        # mains hum picked up from the machine, RMS: a trace under the hiss


# ----------------------------------------------------- "real machine" path
def fft_filter(x, hp=12.0, lp=TAPE_LP_HZ):
    """The deck: a DC blocker and the cassette's roll-off, flat to about
    8 kHz, 3 dB down at lp and falling at 18 dB an octave beyond."""
    n = x.shape[1]
    nfft = 1 << (n - 1).bit_length()
    f = np.fft.rfftfreq(nfft, 1.0 / FS)
    hpr = (f / hp) ** 2
    h = hpr / (1 + hpr) / np.sqrt(1 + (f / lp) ** 6)
    return np.fft.irfft(np.fft.rfft(x, nfft) * h, nfft)[:, :n]


def tape_wow(x, first_s=None, worn=None):
    """Speed drift of a cassette deck: slow wow (0.55 and 0.17 Hz, about
    0.3 % together, twice that between the times `worn`, ramped over a
    second) and a faint capstan flutter (6.3 Hz, 0.04 %). From first_s the
    motor comes up to speed, from SPIN_CENTS over SPIN_S; the read position
    is exact there, so the first note starts on time."""
    n = x.shape[1]
    t = np.arange(n) / FS
    wow = 0.002 * np.sin(2 * np.pi * 0.55 * t) + 0.001 * np.sin(2 * np.pi * 0.17 * t + 1.0)
    if worn is not None:
        wow *= 1 + np.clip(np.minimum(t - worn[0], worn[1] - t) + 0.5, 0.0, 1.0)
    dev = wow + 0.0004 * np.sin(2 * np.pi * 6.3 * t + 0.3)
    ref = 0
    if first_s is not None:
        ramp = np.clip((t - first_s) / SPIN_S, 0.0, 1.0)
        dev += (2 ** (SPIN_CENTS / 1200) - 1) * (0.5 + 0.5 * np.cos(np.pi * ramp))
        ref = int(first_s * FS)
    # integrate the speed deviation into a read-position offset (in samples)
    offset = np.cumsum(dev)
    pos = np.arange(n) + offset - offset[ref]
    idx = np.arange(n, dtype=np.float64)
    return np.stack([np.interp(pos, idx, c) for c in x])


def tape_hiss(n, level_db=HISS_DB, seed=1984):
    rng = np.random.default_rng(seed)
    w = rng.standard_normal((2, n))
    w[1] = 0.6 * w[1] + 0.4 * w[0]  # heads pick up some common noise
    nfft = 1 << (n - 1).bit_length()
    f = np.fft.rfftfreq(nfft, 1.0 / FS)
    shape = (f / 1500.0) / np.sqrt(1 + (f / 1500.0) ** 2) / np.sqrt(1 + (f / 9000.0) ** 4)
    shape *= np.sqrt((1 + (f / 6300.0) ** 2) / (1 + (f / 4000.0) ** 2))  # 4 dB darker on top
    h = np.fft.irfft(np.fft.rfft(w, nfft) * shape, nfft)[:, :n]
    h *= 10 ** (level_db / 20) / np.sqrt(np.mean(h ** 2, axis=1, keepdims=True))
    return h


def level_control(x, loud_db=-12.0, quiet_db=-30.0, release_s=1.5):
    """The recorder's automatic level control as the hiss hears it: a gain
    in dB, 0 where the music is quiet and down to -HISS_DUCK_DB where it is
    loud; it clamps down at once and lets go over release_s."""
    hop = FS // 50
    frames = x.shape[1] // hop + 1
    pad = np.zeros(frames * hop)
    pad[:x.shape[1]] = np.mean(x ** 2, axis=0)
    level = 10 * np.log10(pad.reshape(frames, hop).mean(axis=1) + 1e-12)
    held = np.empty(frames)
    cur, fall = -100.0, 20.0 / (release_s * 50)   # 20 dB over the release time
    for i, v in enumerate(level):
        cur = v if v > cur else max(v, cur - fall)
        held[i] = cur
    duck = -HISS_DUCK_DB * np.clip((held - quiet_db) / (loud_db - quiet_db), 0.0, 1.0)
    return np.interp(np.arange(x.shape[1]), np.arange(frames) * hop + hop / 2, duck)


def deck_click(n, at_s, seed, level_db=-14.0, body_hz=260.0):
    """A cassette deck's key: a few milliseconds of clatter and the thump of
    the mechanism, the same on both sides."""
    rng = np.random.default_rng(seed)
    t = np.arange(int(0.06 * FS)) / FS
    clatter = rng.standard_normal(len(t)) * np.exp(-t / 0.003)
    thump = np.sin(2 * np.pi * body_hz * t) * np.exp(-t / 0.012)
    second = np.sin(2 * np.pi * 1.7 * body_hz * t) * np.exp(-np.maximum(t - 0.009, 0) / 0.006) * (t > 0.009)
    c = 0.6 * clatter + thump + 0.5 * second
    c *= 10 ** (level_db / 20) / np.abs(c).max()
    out = np.zeros(n)
    i = int(at_s * FS)
    m = max(0, min(len(c), n - i))
    out[i:i + m] = c[:m]
    return np.stack([out, out])


def machine_hum(n, level_db=HUM_DB):
    """50 Hz mains hum with its second and third harmonics, the same on both
    sides, as a cable from the machine to the deck picks it up."""
    t = np.arange(n) / FS
    h = (np.sin(2 * np.pi * 50 * t) + 0.5 * np.sin(2 * np.pi * 100 * t + 0.7)
         + 0.3 * np.sin(2 * np.pi * 150 * t + 1.9))
    h *= 10 ** (level_db / 20) / np.sqrt(np.mean(h ** 2))
    return np.stack([h, h])


def k_weighting(f):
    """Magnitude of the loudness meter's two filter stages (high shelf and
    high-pass, 48 kHz coefficients) at the frequencies f."""
    z = np.exp(-2j * np.pi * f / FS)

    def biquad(b, a):
        return np.abs((b[0] + b[1] * z + b[2] * z * z) / (a[0] + a[1] * z + a[2] * z * z))

    return (biquad([1.53512485958697, -2.69169618940638, 1.19839281085285],
                   [1.0, -1.69065929318241, 0.73248077421585])
            * biquad([1.0, -2.0, 1.0], [1.0, -1.99004745483398, 0.99007225036621]))


def integrated_loudness(x):
    """Gated integrated loudness in LUFS: K-weighted mean square over 400 ms
    blocks every 100 ms, an absolute gate at -70 and a relative one 10 LU
    down. The filter is applied as a magnitude in the frequency domain,
    which leaves the block powers as a meter sees them."""
    n = x.shape[1]
    nfft = 1 << (n - 1).bit_length()
    k = np.fft.irfft(np.fft.rfft(x, nfft) * k_weighting(np.fft.rfftfreq(nfft, 1.0 / FS)),
                     nfft)[:, :n]
    sq = np.concatenate(([0.0], np.cumsum((k ** 2).sum(axis=0))))
    block, hop = int(0.4 * FS), int(0.1 * FS)
    starts = np.arange(0, n - block + 1, hop)
    power = (sq[starts + block] - sq[starts]) / block
    loud = -0.691 + 10 * np.log10(np.maximum(power, 1e-20))
    power = power[loud > -70]
    rel = -0.691 + 10 * np.log10(power.mean()) - 10
    power = power[-0.691 + 10 * np.log10(power) > rel]
    return -0.691 + 10 * np.log10(power.mean())


def _running_min(v, w):
    """Minimum over each window v[i:i+w] (van Herk / Gil-Werman), length len(v)."""
    n = len(v)
    m = -(-(n + w) // w) * w
    p = np.concatenate([v, np.full(m - n, np.inf)]).reshape(-1, w)
    fwd = np.minimum.accumulate(p, axis=1).ravel()
    bwd = np.minimum.accumulate(p[:, ::-1], axis=1)[:, ::-1].ravel()
    i = np.arange(n)
    return np.minimum(bwd[i], fwd[np.minimum(i + w - 1, m - 1)])


def limit(x, ceiling_db=LIMIT_DB, look=240):
    """Peak limiter: a gain that is never above what keeps every sample
    under the ceiling, reached smoothly over `look` samples ahead."""
    ceiling = 10 ** (ceiling_db / 20)
    need = np.minimum(1.0, ceiling / np.maximum(np.abs(x).max(axis=0), 1e-9))
    g = _running_min(np.concatenate([np.ones(look), need]), 2 * look)[:len(need) + look]
    c = np.concatenate(([0.0], np.cumsum(g)))
    g = (c[look:] - c[:-look])[:len(need)] / look  # average of a wider minimum: <= need
    return x * g


def tape_runs(n, stop_s):
    """Where the tape moves: silent before the play click, the leader's
    hiss swelling in over 0.2 s after it, running until the stop key."""
    t = np.arange(n) / FS
    rise = np.clip((t - PLAY_CLICK_S - 0.01) / 0.2, 0.0, 1.0)
    return (0.5 - 0.5 * np.cos(np.pi * rise)) * (t < stop_s)


def recorded(n, rec_end_s):
    """Where the tape holds the recording: up to the taper's pause key
    (a 5 ms edge), then blank tape."""
    t = np.arange(n) / FS
    return np.clip((rec_end_s - t) / 0.005, 0.0, 1.0)


def master(x, stop_s=None, rec_end_s=None, first_s=None, worn=None):
    """The chip as taped from the machine: wow, the deck's roll-off,
    loudness set, peaks held under the ceiling, then hiss from the tape
    (lifted by the level control where the music is quiet) and hum from the
    machine, up to the pause key that ended the recording; blank tape
    after it; all between the play click and the stop click."""
    x = tape_wow(x, first_s, worn)
    x = fft_filter(x)
    n = x.shape[1]
    stop_s = n / FS if stop_s is None else stop_s
    rec_end_s = stop_s if rec_end_s is None else rec_end_s
    x = x * 10 ** ((TARGET_LUFS - integrated_loudness(x)) / 20)
    x = limit(x)
    hiss = tape_hiss(n) * 10 ** (level_control(x) / 20)
    rec = recorded(n, rec_end_s)
    x = (x + hiss + machine_hum(n)) * rec + tape_hiss(n, BLANK_DB, 1985) * (1 - rec)
    x = x * tape_runs(n, stop_s)
    x = (x + deck_click(n, PLAY_CLICK_S, 7) + deck_click(n, rec_end_s, 9, -18.0, 150.0)
         + deck_click(n, stop_s, 8, -11.0, 190.0))
    return np.round(np.clip(x, -1.0, 1.0) * 32767).astype("<i2")



# -------------------------------------------------------------- self-checks
def test_tape_path():
    n = 4 * FS
    run = tape_runs(n, 3.0)
    check(run[int(PLAY_CLICK_S * FS)] == 0 and run[int(0.3 * FS)] == 1 and run[3 * FS] == 0,
          "the tape does not run from the play click to the stop key")
    t = np.arange(n) / FS
    loud = np.stack([0.5 * np.sin(2 * np.pi * 440 * t) * (t < 2)] * 2)
    duck = level_control(loud)
    check(abs(duck[FS] + HISS_DUCK_DB) < 0.1 and duck[-1] == 0 and duck[int(2.5 * FS)] < -1,
          "level control: %.1f under music, %.1f after its release" % (duck[FS], duck[-1]))
    h = tape_hiss(n)
    check(np.all(np.abs(20 * np.log10(np.sqrt(np.mean(h ** 2, axis=1))) - HISS_DB) < 0.1),
           "hiss level")
    spectrum = np.abs(np.fft.rfft(h[0])) ** 2
    f = np.fft.rfftfreq(n, 1.0 / FS)
    check(spectrum[f < 200].mean() < 0.05 * spectrum[(f > 3000) & (f < 6000)].mean(), "hiss is shaped")
    t = np.arange(n) / FS
    x = np.stack([np.full(n, 0.5) + 0.3 * np.sin(2 * np.pi * 1000 * t)] * 2)
    y = fft_filter(x)[:, FS:-FS]
    check(abs(y.mean()) < 1e-3, "DC removed")
    check(abs(np.abs(y).max() - 0.3) < 0.01, "1 kHz passes")
    w = tape_wow(x)
    check(w.shape == x.shape, "wow keeps length")
    check(np.abs(w - x).max() > 0.01, "wow moves the signal at all")
    z = np.append(np.diff(np.sign(w[0] - 0.5)) != 0, False)
    cycles = z.reshape(-1, FS // 2).sum(axis=1) / 2.0
    drift = np.abs(cycles / 500.0 - 1).max()
    check(0.001 < drift < 0.004, "wow can be heard but stays gentle: %r" % cycles)
    # The worn stretch wavers twice as much; the motor starting at 1 s is
    # 40 cents slow there, on time, and up to speed a quarter second on.
    def pitch(y):
        """Each cycle's pitch over 1 kHz in cents, and the time it ends at."""
        v = y[0] - 0.5
        i = np.nonzero((v[:-1] < 0) & (v[1:] >= 0))[0]
        ends = i + v[i] / (v[i] - v[i + 1])
        return 1200 * np.log2(FS / 1000.0 / np.diff(ends)), ends[1:] / FS

    plain, at = pitch(w)
    worn, _ = pitch(tape_wow(x, worn=(1.5, 4.5)))
    late = (at > 2.0) & (at < 3.5)
    check(np.abs(worn[late]).max() > 1.6 * np.abs(plain[late]).max(), "the worn tape wavers no more")
    spun = tape_wow(x, first_s=1.0)
    c, at = pitch(spun)
    start, settled = c[(at > 1.0) & (at < 1.01)].mean(), np.abs(c[(at > 1.3) & (at < 1.6)]).max()
    check(-45 < start < -33 and settled < 10, "the motor's start: %.0f cents, then %.0f" % (start, settled))
    check(np.abs(spun[:, FS - 20:FS + 20] - x[:, FS - 20:FS + 20]).max() < 0.02, "the first note is late")
    rec = recorded(n, 2.0)
    check(rec[FS] == 1 and rec[2 * FS + 240] == 0, "the recording does not end at the pause key")


SELFTESTS = [test_tape_path]
