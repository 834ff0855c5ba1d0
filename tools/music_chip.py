"""The sound chip: a small AY-3-8912 as found in a ZX Spectrum 128.

* Chip clock 1.7734 MHz.  Three square-wave tone generators; a channel's
  pitch is a 12-bit period register P (1..4095), frequency = clock/(16*P),
  so every note is slightly out of tune in the way the real chip is.
* One shared noise generator: a 17-bit LFSR (feedback bit0 xor bit3)
  clocked at clock/(16*NP), NP being the 5-bit noise period register.
* Per channel mixer as on the chip: output = (tone OR tone-disabled) AND
  (noise OR noise-disabled), scaled by a 4-bit volume through the chip's
  logarithmic DAC, whose steps are uneven as on a real part (about 2 dB at
  the top, up to 4 dB near the bottom, level 0 silent), or by the envelope
  generator instead (the buzzer bass and the decaying hits).
* One shared envelope generator: 16 levels stepped at clock/(16*EP), the
  chip's shapes (single decay or attack, saw, triangle); writing the shape
  restarts it.
* The output is unipolar; the machine's coupling capacitor (a causal
  high-pass, so low squares droop) and the RC low-pass at the chip's output
  shape it as the real machine's sound socket does (output_filter).
* All register writes happen once per 1/50 s frame, like a player routine
  running from the Spectrum's frame interrupt.  A song is therefore a table
  of register values per frame (`Regs`), rendered to audio afterwards.
* Rendering is band-limited: tone and noise are integrated analytically
  over each sample of a 4x oversampled stream (box filter, no naive steps),
  then a 255-tap windowed-sinc low-pass decimates to 48 kHz.
* Stereo as on the Spectrum 128's usual ABC stereo: A left, B in the
  middle, C right (see PAN).
"""

import numpy as np

CLOCK = 1773400
FS = 48000
OS = 4
FS_OS = FS * OS
FRAME_HZ = 50
SPF = FS // FRAME_HZ                  # output samples per 50 Hz frame

# The DAC's steps in dB from level 15 down to level 1: near 3 dB on average
# but uneven, smaller at the top where the output stage saturates and
# alternating with the ladder's odd and even resistors. Level 0 is silent.
DAC_STEPS_DB = [1.9, 1.6, 2.4, 2.0, 2.9, 2.5, 3.3, 2.9, 3.8, 3.2, 4.3, 3.5, 3.9, 3.4]
AY_LEVELS = np.concatenate(([0.0], 10 ** (-np.cumsum(DAC_STEPS_DB)[::-1] / 20), [1.0]))
OUT_LP_HZ = 7800.0   # RC low-pass at the chip's output pins
OUT_HP_HZ = 18.0     # coupling capacitor to the sound socket

# Envelope shapes (register value -> levels of the first 16 steps, and
# either None: the whole sequence repeats, or the level held after it).
_DOWN, _UP = list(range(15, -1, -1)), list(range(16))
ENV_SHAPES = {0: (_DOWN, 0), 4: (_UP, 0), 8: (_DOWN, None), 10: (_DOWN + _UP, None),
              11: (_DOWN, 15), 12: (_UP, None), 13: (_UP, 15), 14: (_UP + _DOWN, None)}

# Stereo gains (left, right) for channels A, B, C: the Spectrum 128's usual
# ABC stereo, A left, B in the middle, C right: A (the bass) only a little
# to the left, so the low end stays near the middle; C wide, for the width.
PAN = np.array([[0.85, 0.53], [0.71, 0.71], [0.27, 0.96]])


def env_period(freq, steps=16):
    """Envelope period register for a repeating shape of `steps` levels
    (16 for a saw, 32 for a triangle) at the frequency freq."""
    return int(min(65535, max(1, round(CLOCK / (steps * 16.0 * freq)))))


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

    def __init__(self, frames):
        self.n = frames
        self.per = np.full((3, frames), 1000, np.int64)
        self.vol = np.zeros((3, frames), np.int64)
        self.ten = np.zeros((3, frames), bool)
        self.nen = np.zeros((3, frames), bool)
        self.nper = np.full(frames, 16, np.int64)
        self.env = np.zeros((3, frames), bool)        # volume from the envelope
        self.eper = np.full(frames, 1000, np.int64)   # envelope period register
        self.eshape = np.full(frames, 8, np.int64)
        self.erestart = np.zeros(frames, bool)        # shape written this frame

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
        self.env[ch, t] = False

    def put_env(self, ch, t, freq=None, tone=True, noise=False, nper=None):
        """The channel's volume follows the envelope in frame t."""
        self.put(ch, t, freq, 15, tone, noise, nper)
        if 0 <= t < self.n:
            self.env[ch, t] = True

    def envelope(self, t, period, shape, restart=True):
        if 0 <= t < self.n:
            self.eper[t] = int(min(65535, max(1, period)))
            self.eshape[t] = shape
            self.erestart[t] = restart


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


class _Envelope:
    """DAC output of the envelope as a function of its step position p
    (steps since the shape was written), with its exact integral so that it
    can be box-averaged over each sample like the noise."""

    def __init__(self):
        self.tables = {}
        for shape, (seq, hold) in ENV_SHAPES.items():
            amp = AY_LEVELS[np.array(seq)]
            self.tables[shape] = (amp, np.concatenate(([0.0], np.cumsum(amp))),
                                  None if hold is None else AY_LEVELS[hold])

    def integral(self, shape, p):
        amp, cum, hold = self.tables[shape]
        n = len(amp)
        if hold is None:
            fl = np.floor(p)
            q, k = np.divmod(fl, n)
            k = k.astype(np.int64)
            return q * cum[-1] + cum[k] + (p - fl) * amp[k]
        first = np.minimum(p, n)
        fl = np.minimum(np.floor(first), n - 1)
        k = fl.astype(np.int64)
        return cum[k] + (first - fl) * amp[k] + np.maximum(p - n, 0.0) * hold


def output_filter(x):
    """The machine's output: the coupling capacitor (one pole, high-pass)
    and the RC low-pass at the chip's pins, both causal, as analog parts
    are: a low square droops between its edges and every edge is rounded."""
    n = x.shape[1]
    nfft = 1 << (n + FS - 1).bit_length()
    f = np.fft.rfftfreq(nfft, 1.0 / FS)
    hp = 1j * f / OUT_HP_HZ / (1 + 1j * f / OUT_HP_HZ)
    lp = 1 / (1 + 1j * f / OUT_LP_HZ)
    return np.fft.irfft(np.fft.rfft(x, nfft) * hp * lp, nfft)[:, :n]


def lowpass_fir(taps=255, cutoff=20000.0, fs=FS_OS):
    n = np.arange(taps) - (taps - 1) / 2.0
    h = 2 * cutoff / fs * np.sinc(2 * cutoff / fs * n) * np.blackman(taps)
    return h / h.sum()


class Renderer:
    """Turns a Regs table into 48 kHz stereo, a block of frames at a time."""

    def __init__(self):
        self.noise = _Noise()
        self.envgen = _Envelope()
        self.phase = np.zeros(3)
        self.nphase = 0.0
        self.ephase = 0.0
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
        env = self._envelope(regs, t0, t1) if regs.env[:, t0:t1].any() else None
        mix = np.zeros((2, (t1 - t0) * m))
        for ch in range(3):
            rate = CLOCK / (16.0 * regs.per[ch, t0:t1]) / FS_OS
            tone, end = self._tone(self.phase[ch], rate)
            self.phase[ch] = end % 1.0
            ten = np.repeat(regs.ten[ch, t0:t1], m)
            nen = np.repeat(regs.nen[ch, t0:t1], m)
            gate = np.where(ten, tone, 1.0) * np.where(nen, noise, 1.0)
            amp = np.repeat(AY_LEVELS[regs.vol[ch, t0:t1]], m)
            if env is not None:
                amp = np.where(np.repeat(regs.env[ch, t0:t1], m), env, amp)
            sig = amp * gate
            mix += PAN[ch][:, None] * sig[None, :]
        return self._decimate(mix)

    def _envelope(self, regs, t0, t1):
        """The envelope's DAC output averaged over each oversampled sample,
        frame by frame: the step position runs on, or restarts where the
        shape was written."""
        m = SPF * OS
        out = np.empty((t1 - t0) * m)
        ramp = np.arange(m + 1, dtype=np.float64)
        for t in range(t0, t1):
            if regs.erestart[t]:
                self.ephase = 0.0
            shape = int(regs.eshape[t])
            rate = CLOCK / (16.0 * regs.eper[t]) / FS_OS
            p = self.ephase + rate * ramp
            c = self.envgen.integral(shape, p)
            out[(t - t0) * m:(t - t0 + 1) * m] = np.diff(c) / rate
            self.ephase = p[-1]
            if ENV_SHAPES[shape][1] is None:
                self.ephase %= len(ENV_SHAPES[shape][0])
            else:
                self.ephase = min(self.ephase, 1e6)
        return out

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
        return output_filter(np.concatenate(out, axis=1))



# -------------------------------------------------------------- self-checks
def check(cond, what):
    if not cond:
        raise AssertionError(what)


def test_pitch_and_levels():
    check(ay_period(440.0) == 252, "A4 period")
    check(ay_period(10.0) == 4095 and ay_period(1e7) == 1, "period clamp")
    for m in range(40, 100):  # quantisation error stays within half a step
        p = ay_period(midi_freq(m))
        f = CLOCK / (16.0 * p)
        check(abs(f - midi_freq(m)) <= CLOCK / 16.0 * (1 / (p - 0.5) - 1 / p),
               "pitch step for note %d" % m)
    check(AY_LEVELS[0] == 0 and abs(AY_LEVELS[15] - 1) < 1e-12, "DAC ends")
    steps = 20 * np.log10(AY_LEVELS[2:] / AY_LEVELS[1:-1])
    check(np.all(steps > 1.0) and abs(steps.mean() - 3.0) < 0.3, "a level step far from 3 dB")
    check(steps[-3:].mean() < 2.5 and steps[:3].mean() > 3.3, "DAC steps as even as an ideal one")
    check(abs(steps[-1] - DAC_STEPS_DB[0]) < 1e-9, "level 14 sits the first step under 15")
    check(env_period(110.0) == 63 and env_period(55.0, 32) == 63, "envelope periods")


def test_lfsr():
    seq = lfsr_sequence()
    s = 1
    for _ in range(len(seq)):
        s = (s >> 1) | (((s ^ (s >> 3)) & 1) << 16)
    check(s == 1, "LFSR returns to its seed after 2^17-1 steps")
    check(abs(int(seq.sum()) - 65536) <= 1, "LFSR balanced")
    check(len(set(seq[:34].tolist())) == 2, "LFSR not stuck")


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
    check(abs(f[np.argmax(spectrum[10:]) + 10] - f0) < 2.0, "fundamental")
    harm = np.zeros(len(f), bool)
    for k in range(1, 8):
        harm |= np.abs(f - k * f0) < 30
    harm |= f < 40
    alias = 20 * np.log10(spectrum[~harm & (f < 20000)].max() / spectrum.max())
    check(alias < -68, "aliasing at %.1f dB" % alias)


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
    check(y.shape == (2, 60 * SPF), "block size")
    left = PAN[:, 0] * np.array([0.5, 0.5, 0.25])
    right = PAN[:, 1] * np.array([0.5, 0.5, 0.25])
    check(abs(y[0].mean() - left.sum()) < 0.03 and abs(y[1].mean() - right.sum()) < 0.03,
           "mix levels %r" % (y.mean(axis=1),))
    solo = Regs(60)
    solo.per[2], solo.vol[2], solo.nper[:] = 100, 15, 4
    solo.ten[2] = solo.nen[2] = True
    ren2 = Renderer()
    ren2.fir, ren2.hist = np.array([1.0]), np.zeros((2, 0))
    both = ren2.render_block(solo, 0, 60)[1] / PAN[2, 1]
    check(abs(both.mean() - 0.25) < 0.03, "AND of tone and noise: %.3f" % both.mean())
    check(both.max() <= 1.0 + 1e-6 and both.min() >= -1e-6, "gate stays within 0..1")


def test_block_independence():
    """Phase, noise and filter state carry across blocks: block size must not matter."""
    rng = np.random.default_rng(7)
    r = Regs(90)
    r.per[:] = rng.integers(20, 3000, (3, 90))
    r.vol[:] = rng.integers(0, 16, (3, 90))
    r.ten[:] = rng.random((3, 90)) < 0.8
    r.nen[:] = rng.random((3, 90)) < 0.3
    r.nper[:] = rng.integers(1, 32, 90)
    r.env[:] = rng.random((3, 90)) < 0.3
    r.eper[:] = rng.integers(20, 400, 90)
    r.eshape[:] = rng.choice(sorted(ENV_SHAPES), 90)
    r.erestart[:] = rng.random(90) < 0.2
    a = Renderer().render(r, block=90)
    b = Renderer().render(r, block=7)
    check(a.shape == b.shape == (2, 90 * SPF), "rendered length")
    check(np.max(np.abs(a - b)) < 1e-5, "block seams differ by %g" % np.max(np.abs(a - b)))



def test_envelope_and_output():
    """The buzzer: a saw envelope at the bass pitch sounds at that pitch; a
    single decay dies to silence; the output filter rounds the top and lets
    a low square droop."""
    r = Regs(100)
    r.per[0, :], r.ten[0, :] = 4095, False
    r.env[0, :] = True
    r.eper[:], r.eshape[:] = env_period(110.0), 8
    y = Renderer().render(r, block=33)[0, 24000:72000]
    spectrum = np.abs(np.fft.rfft((y - y.mean()) * np.hanning(len(y))))
    f = np.fft.rfftfreq(len(y), 1.0 / FS)
    f0 = CLOCK / (256.0 * env_period(110.0))
    check(abs(f[np.argmax(spectrum)] - f0) < 2.0, "saw envelope pitch %.1f" % f[np.argmax(spectrum)])
    check(spectrum[np.abs(f - 2 * f0) < 2].max() > 0.3 * spectrum.max(), "saw lacks its second harmonic")
    d = Regs(100)
    d.per[0, :], d.ten[0, :] = 4095, False
    d.env[0, :] = True
    d.eper[:], d.eshape[:] = 3000, 0
    d.erestart[0] = True
    z = Renderer().render(d)[0]
    ends = 256 * 3000 / CLOCK * FS
    check(abs(z[int(0.05 * ends)]) > 20 * abs(z[int(1.05 * ends) + 2000]), "single decay does not die")
    sq = Regs(50)
    sq.per[0, :], sq.vol[0, :], sq.ten[0, :] = ay_period(55.0), 15, True
    w = Renderer().render(sq)[0, 24000:48000]
    tops = w[w > 0.5 * w.max()]
    check(0.02 < (tops.max() - tops.min()) / w.max() < 0.5, "a low square keeps a flat top")
    hi = output_filter(np.stack([np.sin(2 * np.pi * 15000 * np.arange(FS) / FS)] * 2))[0, 1000:]
    check(np.abs(hi).max() < 0.6, "the output lets 15 kHz through unfiltered")


SELFTESTS = [test_envelope_and_output, test_pitch_and_levels, test_lfsr, test_bandlimited_tone, test_mixer_logic,
             test_block_independence]
