"""Mastering: the chip as taped from the machine. Tape wow and flutter
(about 0.2 %), a DC-blocking high-pass, a gentle low-pass, loudness set to
about -11 LUFS under a peak limiter, shaped hiss (-38 dBFS) that starts
before the first note, and a trace of mains hum (-60 dBFS).
"""

import numpy as np

from music_chip import FS, check

TARGET_LUFS = -10.5   # integrated loudness before the encoder and the hiss (meters -11)
LIMIT_DB = -2.8       # sample peak ceiling; leaves room for the encoder's overshoot
HISS_DB = -38.0       # tape hiss, RMS per channel
HUM_DB = -60.0        # mains hum picked up from the machine, RMS: a trace under the hiss


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
    """Speed drift of a cassette deck: slow wow (0.55 and 0.17 Hz, about
    0.2 % together) and a faint capstan flutter (6.3 Hz, 0.04 %)."""
    n = x.shape[1]
    t = np.arange(n) / FS
    dev = (0.0014 * np.sin(2 * np.pi * 0.55 * t) + 0.0007 * np.sin(2 * np.pi * 0.17 * t + 1.0)
           + 0.0004 * np.sin(2 * np.pi * 6.3 * t + 0.3))
    # integrate the speed deviation into a read-position offset (in samples)
    offset = np.cumsum(dev)
    pos = np.arange(n) + offset - offset[0]
    idx = np.arange(n, dtype=np.float64)
    return np.stack([np.interp(pos, idx, c) for c in x])


def tape_hiss(n, level_db=HISS_DB, seed=1984):
    rng = np.random.default_rng(seed)
    w = rng.standard_normal((2, n))
    w[1] = 0.6 * w[1] + 0.4 * w[0]  # heads pick up some common noise
    nfft = 1 << (n - 1).bit_length()
    f = np.fft.rfftfreq(nfft, 1.0 / FS)
    shape = (f / 1500.0) / np.sqrt(1 + (f / 1500.0) ** 2) / np.sqrt(1 + (f / 9000.0) ** 4)
    h = np.fft.irfft(np.fft.rfft(w, nfft) * shape, nfft)[:, :n]
    h *= 10 ** (level_db / 20) / np.sqrt(np.mean(h ** 2, axis=1, keepdims=True))
    return h


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


def master(x):
    """The chip as taped from the machine: wow, the coupling capacitor and a
    soft top, loudness set, peaks held under the ceiling, then hiss from the
    tape itself and hum from the machine, which run before the first note
    and after the last."""
    x = tape_wow(x)
    x = fft_filter(x)
    n = x.shape[1]
    x = x * 10 ** ((TARGET_LUFS - integrated_loudness(x)) / 20)
    x = limit(x)
    fade_len = 2 * FS
    fade = np.ones(n)
    fade[-fade_len:] = 0.5 + 0.5 * np.cos(np.linspace(0, np.pi, fade_len))
    x = (x + tape_hiss(n) + machine_hum(n)) * fade
    return np.round(np.clip(x, -1.0, 1.0) * 32767).astype("<i2")



# -------------------------------------------------------------- self-checks
def test_tape_path():
    n = 4 * FS
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


SELFTESTS = [test_tape_path]
