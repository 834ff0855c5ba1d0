#!/usr/bin/python3
"""Check the hard rules the intro relies on for the pictures, the font and
the tune, and print the measured figures.

Reads title.bgra, logo.bgra, font.txt and music.mp3 from assets/ (or from
the folder given as the only argument); prints one line per failed rule and
exits 1 if any failed. Run with /usr/bin/python3; the tune is decoded and
metered with ffmpeg.
"""
import os
import re
import shutil
import subprocess
import sys
from collections import deque

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from facts import GLYPH_ORDER, LOGO_H, LOGO_W, TITLE_H, TITLE_W  # noqa: E402
from make_font_preview import load_font  # noqa: E402

ASSETS = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "assets")
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def load_bgra(name, w, h):
    path = os.path.join(ASSETS, name)
    data = open(path, "rb").read()
    if not check(len(data) == w * h * 4,
                 f"{name}: {len(data)} bytes, expected {w * h * 4}"):
        return None
    return np.frombuffer(data, dtype=np.uint8).reshape(h, w, 4)


def is_red(px):
    b, g, r = (px[..., i].astype(int) for i in range(3))
    return (r >= 180) & (g <= 70) & (b <= 70)


def check_title():
    img = load_bgra("title.bgra", TITLE_W, TITLE_H)
    if img is None:
        return
    bgr = img[..., :3].astype(int)
    check((img[..., 3] == 255).all(), "title: fourth byte not 255 everywhere")

    # Corners are far from the X and the plate: exactly the background.
    for y0, x0 in ((0, 0), (0, 1220), (680, 0), (690, 1240), (300, 0), (300, 1220)):
        patch = bgr[y0:y0 + 30, x0:x0 + 40]
        check((patch == 3).all(), f"title: background at ({x0},{y0}) is not (3,3,3)")

    # Plate: exact white bounds (its corners lie under the X, the middles of
    # its edges do not). Nothing white outside it.
    white = (bgr == 255).all(axis=2)
    plate = np.zeros_like(white)
    plate[248:472, 440:840] = True
    check(not (white & ~plate).any(), "title: white pixels outside the plate")
    for x, y, ox, oy in ((640, 248, 0, -1), (640, 471, 0, 1),
                         (440, 360, -1, 0), (839, 360, 1, 0)):
        check(white[y, x] and (bgr[y + oy, x + ox] == 3).all(),
              f"title: plate edge at ({x},{y}) is not a white/background step")
    check(white[plate].mean() > 0.3, "title: plate is mostly covered")

    # Every pixel off the plate is background, paint, or a blend of the two
    # (anti-aliasing): green equals blue and red dominates.
    off = ~plate
    b, g, r = bgr[..., 0], bgr[..., 1], bgr[..., 2]
    blend_ok = (np.abs(g - b) <= 1) & (r >= g) & (g <= 25) & (g >= 3)
    check(blend_ok[off].all(), "title: stray colours off the plate")

    # Blue-grey lettering on the plate.
    ink = plate & (b > r + 20) & (b < 200) & (np.abs(g - (r + b) // 2) < 20)
    check(ink.sum() > 5000, f"title: too little blue-grey lettering ({ink.sum()} px)")

    # The X: paint close to (237,20,20), on both diagonals, ends near the
    # four corner points.
    red = is_red(bgr)
    check(((np.abs(r - 237) <= 20) & (g == 20) & (b == 20)).sum() > 60000,
          "title: too little full-strength red paint")
    arms = (((194, 84), (1212, 640)), ((1212, 84), (194, 640)))
    for (x0, y0), (x1, y1) in arms:
        for t in (0.08, 0.25, 0.4, 0.6, 0.75, 0.9):
            x, y = int(x0 + (x1 - x0) * t), int(y0 + (y1 - y0) * t)
            win = red[y - 12:y + 13, x - 12:x + 13]
            need = 0.15 if t > 0.8 else 0.5  # the brush runs dry at the end
            check(win.mean() > need, f"title: arm {x0},{y0} not painted near ({x},{y})")
        for x, y in ((x0, y0), (x1, y1)):
            win = red[max(0, y - 40):y + 41, max(0, x - 40):x + 41]
            check(win.any(), f"title: no paint near arm end ({x},{y})")
    ys, xs = np.nonzero(red)
    check(140 <= xs.min() <= 240 and 1170 <= xs.max() <= 1260
          and 40 <= ys.min() <= 120 and 600 <= ys.max() <= 700,
          f"title: X spans x {xs.min()}..{xs.max()} y {ys.min()}..{ys.max()}")


def black_holes(black):
    """Black pixels not connected (4-neighbour) to the picture border."""
    h, w = black.shape
    seen = np.zeros_like(black)
    q = deque()
    for y in range(h):
        for x in (0, w - 1):
            if black[y, x] and not seen[y, x]:
                seen[y, x] = True
                q.append((y, x))
    for x in range(w):
        for y in (0, h - 1):
            if black[y, x] and not seen[y, x]:
                seen[y, x] = True
                q.append((y, x))
    while q:
        y, x = q.popleft()
        for ny, nx in ((y - 1, x), (y + 1, x), (y, x - 1), (y, x + 1)):
            if 0 <= ny < h and 0 <= nx < w and black[ny, nx] and not seen[ny, nx]:
                seen[ny, nx] = True
                q.append((ny, nx))
    return black & ~seen


def check_logo():
    img = load_bgra("logo.bgra", LOGO_W, LOGO_H)
    if img is None:
        return
    bgr = img[..., :3].astype(int)
    fourth = img[..., 3].astype(int)
    low = np.nonzero(fourth[-1] != 255)[0]
    check((fourth[:-1] == 255).all() and len(low) == 582 and low.min() >= 54 and low.max() <= 645
          and (fourth[-1, low] >= 223).all() and (fourth[-1, low] <= 251).all(),
          "logo: fourth byte not 255 but in 582 pixels of the bottom row's columns 54-645 (223-251)")
    black = (bgr == 0).all(axis=2)
    check(black[:, 0].all(), "logo: column 0 is not all black")
    check(black[:4].all() and black[-4:].all() and black[:, :4].all()
          and black[:, -4:].all(), "logo: black frame of 4 px is broken")

    # The generator's own art mask: all art pixels non-black, rest black.
    import make_logo
    art = make_logo.render()[1]
    check((~black[art]).all(), f"logo: {int(black[art].sum())} black pixels inside the art")
    check(black[~art].all(), "logo: non-black pixels outside the art mask")

    # Independent of the generator: no black hole enclosed by artwork.
    holes = black_holes(black)
    check(not holes.any(), f"logo: {int(holes.sum())} enclosed black pixels")

    b, g, r = bgr[..., 0], bgr[..., 1], bgr[..., 2]
    check(art.mean() > 0.5, "logo: artwork covers too little of the picture")
    light = (b > 200) & (g > 140) & (r < b)
    check(light.sum() > 8000, f"logo: too few light-blue letter pixels ({light.sum()})")
    # Over the plasma the smoke must read as light, not as a dark plate.
    luma = 0.299 * r + 0.587 * g + 0.114 * b
    art_px = ~black
    dark = (luma[art_px] < 30).mean()
    pad = np.pad(black, 1, constant_values=True)
    next_to_black = pad[:-2, 1:-1] | pad[2:, 1:-1] | pad[1:-1, :-2] | pad[1:-1, 2:]
    edge = np.median(luma[art_px & next_to_black])
    print(f"logo: {100 * dark:.1f} % of the art darker than luma 30, silhouette edge median luma {edge:.0f}")
    check(dark <= 0.15, f"logo: {100 * dark:.1f} % of the art is darker than luma 30 (at most 15 %)")
    check(edge >= 60, f"logo: silhouette edge median luma {edge:.0f} (at least 60)")
    navy = (b > g) & (g > r) & (luma < 70) & ~black
    check(navy.sum() > 10000, f"logo: too little dark-blue smoke ({navy.sum()} px)")
    # Shown at a median of 1/6 of its size, drawn forward pixel by pixel: the
    # picture that every 6th pixel makes must look like the averaged one.
    near, box = luma[3::6, 3::6][:25, :127], luma[:150, :762].reshape(25, 6, 127, 6).mean(axis=(1, 3))
    sim = ssim(near, box)
    print(f"logo: SSIM of the every-6th-pixel reduction against the area average {sim:.3f}")
    check(sim >= 0.9, f"logo: SSIM at 1/6 is {sim:.3f} (at least 0.9)")
    inside = ~black  # art pixels 8 px or more from the background: the letters, not the rim
    for _ in range(8):
        pad = np.pad(inside, 1, constant_values=False)
        inside = inside & pad[:-2, 1:-1] & pad[2:, 1:-1] & pad[1:-1, :-2] & pad[1:-1, 2:]
    letters = (inside & (luma > 140)).any(axis=0)
    print(f"logo: letters span {100 * letters.mean():.0f} % of the width")
    check(letters.mean() >= 0.8, "logo: the letters fill less than 80 % of the width")
    cy, cx = 77, 383
    core = bgr[cy - 8:cy + 8, cx - 8:cx + 8]
    check((core >= 240).all(axis=2).any(), "logo: no white flare in the middle")


def ssim(a, b):
    """Mean structural similarity of two luma pictures (0..255): Gaussian
    window of sigma 1.5 over 11 x 11 pixels, the usual constants, over the
    part where the whole window fits."""
    k = np.exp(-0.5 * ((np.arange(11) - 5) / 1.5) ** 2)
    k /= k.sum()

    def blur(x):
        x = np.apply_along_axis(lambda r: np.convolve(r, k, "valid"), 1, x)
        return np.apply_along_axis(lambda c: np.convolve(c, k, "valid"), 0, x)

    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    ma, mb = blur(a), blur(b)
    va, vb, cov = blur(a * a) - ma * ma, blur(b * b) - mb * mb, blur(a * b) - ma * mb
    return float(np.mean((2 * ma * mb + c1) * (2 * cov + c2) / ((ma * ma + mb * mb + c1) * (va + vb + c2))))


def check_font():
    order = GLYPH_ORDER
    path = os.path.join(ASSETS, "font.txt")
    try:
        font = load_font(path)
    except ValueError as e:
        check(False, f"font: {e}")
        return
    headers = [ln.strip()[1] for ln in open(path) if ln.startswith("[")]
    check("".join(headers) == order, f"font: glyph order is {''.join(headers)!r}")
    for ch in order:
        if not check(ch in font, f"font: missing glyph {ch!r}"):
            continue
        g = font[ch]
        rows = np.nonzero(g.any(axis=1))[0]
        cols = np.nonzero(g.any(axis=0))[0]
        if not check(len(rows) > 0, f"font: glyph {ch!r} is empty"):
            continue
        lo, hi = {"Q": (9, 23), "@": (4, 12), ".": (18, 20)}.get(ch, (9, 20))
        check(rows.min() >= lo and rows.max() <= hi,
              f"font: {ch!r} ink in rows {rows.min()}..{rows.max()}, allowed {lo}..{hi}")
        check(cols.max() <= 13, f"font: {ch!r} has ink in column 14")
        if ch.isalpha():
            check(rows.min() == 9 and g[20].any(),
                  f"font: {ch!r} does not fill the capital height (rows 9-20)")
            # Bold: some horizontal run of 3 ink pixels in most rows.
            runs = sum(1 for y in range(9, 21) if "###" in "".join(
                "#" if v else "." for v in g[y]))
            check(runs >= 6, f"font: {ch!r} strokes look thinner than 3 px")
    if "Q" in font:
        check(font["Q"][23].any(), "font: Q's tail does not reach row 23")
    # Fixed cells: a narrow letter must not stand in a wide gap ("D I RECTLY").
    letters = [ch for ch in order if ch.isalpha() and ch in font]
    side = {ch: int(np.argmax(font[ch].any(axis=0))) + 14 - int(np.nonzero(font[ch].any(axis=0))[0].max())
            for ch in letters}
    mean_side = np.mean(list(side.values()))
    if "I" in side:
        print(f"font: I has {side['I']} px beside it in its cell, the letters {mean_side:.1f} on average")
        check(side["I"] <= mean_side + 2, f"font: I has {side['I']} px beside it (average {mean_side:.1f})")
    if "T" in font and "I" in font:
        apart = int((font["T"] != font["I"]).sum())
        print(f"font: T and I differ in {apart} pixels")
        check(apart >= 20, f"font: T and I differ in only {apart} pixels (at least 20)")
    for ch in "!?":
        if ch in font:
            g = font[ch]
            gap = [y for y in range(10, 20) if not g[y].any()]
            check(gap and g[20].any(), f"font: {ch!r} lacks a separate dot at the bottom")
    if "!" in font:
        widths = [int(font["!"][y].sum()) for y in range(9, 21) if font["!"][y].any()]
        bar = widths[:-3]
        check(bar == sorted(bar, reverse=True) and bar[0] > bar[-1],
              "font: '!' bar does not narrow downwards")


def ebur128(path, start=None, end=None):
    """Integrated loudness (LUFS) and true peak (dBTP) by ffmpeg's meter,
    over the whole file or the stretch from start to end seconds."""
    cut = [] if start is None else ["-ss", str(start), "-to", str(end)]
    res = subprocess.run(["ffmpeg", "-nostats", "-hide_banner"] + cut
                         + ["-i", path, "-af", "ebur128=peak=true", "-f", "null", "-"],
                         capture_output=True, text=True)
    summary = res.stderr[res.stderr.rfind("Summary:"):]
    i = re.search(r"I:\s+(-?[\d.]+|-inf) LUFS", summary)
    tp = re.search(r"Peak:\s+(-?[\d.]+|-inf) dBFS", summary)
    if res.returncode or not i or not tp:
        raise RuntimeError(f"ffmpeg could not meter {path}: {res.stderr[-300:]}")
    return float(i.group(1)), float(tp.group(1))


def rms_db(x):
    return 20 * np.log10(np.sqrt(np.mean(x.astype(np.float64) ** 2)) + 1e-12)


def check_music():
    path = os.path.join(ASSETS, "music.mp3")
    if not check(shutil.which("ffmpeg") is not None,
                 "music: ffmpeg is not installed (bash tools/setup-deps.sh all)"):
        return
    import music_song
    pcm = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "f32le", "-ac", "2",
                          "-ar", "48000", "-"], capture_output=True, check=True).stdout
    lr = np.frombuffer(pcm, dtype="<f4").reshape(-1, 2).T
    fs = 48000
    lufs, peak = ebur128(path)
    print(f"music: integrated {lufs:.1f} LUFS, true peak {peak:.1f} dBTP")
    check(-12.0 <= lufs <= -10.0, f"music: integrated loudness {lufs} LUFS, wanted -12..-10")
    check(peak <= -1.0, f"music: true peak {peak} dBTP, wanted at most -1")
    for what, part in (("whole tune", lr), ("first 100 s", lr[:, :100 * fs])):
        diff = rms_db(part[0]) - rms_db(part[1])
        print(f"music: left - right over the {what}: {diff:+.2f} dB")
        check(abs(diff) <= 1.0, f"music: left and right differ by {diff:.2f} dB over the {what}")
    sec = music_song.section_seconds
    first = sec("intro")
    pre = lr[:, :int(fs * (first - 0.05))]
    hiss = max(rms_db(pre[0]), rms_db(pre[1]))
    print(f"music: {first:.2f} s of tape hiss before the first note at {hiss:.1f} dBFS RMS")
    # Heard, and loud enough for the end-to-end check that every second of
    # the captured tune (at the mixer's volume 100 of 128) is above -40.
    check(first >= 0.25 and -40.0 <= hiss <= -35.0, "music: no tape hiss at about -38 dBFS first")
    for f in (50, 100):
        hum = max(tone_db(lr[0], fs, f), tone_db(lr[1], fs, f))
        print(f"music: {f} Hz over the whole tune at {hum:.1f} dBFS")
        check(hum <= -55.0, f"music: {f} Hz hum at {hum:.1f} dBFS (at most -55)")

    # Whole 4-bar phrases; the break meets the end screen (68.5-69.5 s) and
    # is heard there: the level drops as it starts.
    starts = [bar for _, bar in music_song.SECTIONS] + [music_song.END_BAR]
    bars = [b - a for a, b in zip(starts, starts[1:])]
    print(f"music: sections of {bars} bars, break at {sec('break'):.2f} s")
    check(all(n % music_song.PHRASE_BARS == 0 for n in bars), "music: a section is not whole 4-bar phrases")
    check(68.5 <= sec("break") <= 69.5, f"music: break at {sec('break'):.2f} s, not 68.5-69.5")
    k = int(sec("break") * fs)
    drop = rms_db(lr[:, k - 3 * fs:k]) - rms_db(lr[:, k + fs // 2:k + 7 * fs // 2])
    check(drop >= 3.0, f"music: the level drops only {drop:.1f} dB where the break starts")

    themes = [ebur128(path, sec(a), sec(b))[0] for a, b in
              (("theme A", "theme B"), ("theme B", "break"), ("finale", "last chord"))]
    quiet = ebur128(path, sec("break"), sec("finale"))[0]
    print(f"music: break {quiet:.1f} LUFS, themes {', '.join(f'{t:.1f}' for t in themes)} LUFS")
    check(max(themes) - quiet >= 4.0 and min(themes) - quiet >= 4.0,
          "music: the break is not 4 LU under the themes")
    for a, b in (("theme A", "theme B"), ("theme B", "break")):
        part = lr[:, int(sec(a) * fs):int(sec(b) * fs)]
        corr = np.corrcoef(part[0], part[1])[0, 1]
        side = rms_db(part[0] - part[1]) - rms_db(part[0] + part[1])
        print(f"music: {a} left/right correlation {corr:.2f}, side {side:.1f} dB under the middle")
        check(0.6 <= corr <= 0.85, f"music: {a} correlation {corr:.2f}, wanted 0.6-0.85")

    # The end screen asks for the fade at 98 to 101 s (earlier in a capture
    # that runs slow): the last chord rings there, decaying smoothly: no
    # step over 1 dB between windows of 0.16 s (its 8-frame volume cycle),
    # and lower in every second than in the one before.
    t0 = sec("last chord") + 1.2
    win = 0.16
    fine = np.array([rms_db(lr[:, int(t * fs):int((t + win) * fs)]) for t in np.arange(t0, 105.0, win)])
    secs = np.array([rms_db(lr[:, int(t * fs):int((t + 1) * fs)]) for t in np.arange(t0, 105.0, 1.0)])
    step, fall = -np.diff(fine).min(), -np.diff(secs)
    at102 = rms_db(lr[:, 102 * fs:103 * fs])
    print(f"music: last chord from {sec('last chord'):.1f} s, {secs[0]:.1f} dBFS RMS after its strike,"
          f" {at102:.1f} at 102 s; largest step {step:.2f} dB, falls {fall.min():.2f}-{fall.max():.2f} dB a second")
    check(step <= 1.0, f"music: the last chord drops {step:.2f} dB at once (at most 1)")
    check(fall.min() > 0.05, "music: the last chord holds still for a second")
    check(at102 > -30.0, "music: the last chord has faded before 102 s")


def tone_db(x, fs, f):
    """RMS level in dBFS of the steady sine at f Hz, from one Hann-windowed
    transform of the whole signal (bins far narrower than the music's)."""
    w = np.hanning(len(x))
    spectrum = np.abs(np.fft.rfft(x * w))
    k = int(round(f * len(x) / fs))
    return 20 * np.log10(spectrum[k - 2:k + 3].max() * 2 / w.sum() / np.sqrt(2) + 1e-12)


def main():
    check_title()
    check_logo()
    check_font()
    check_music()
    for f in failures:
        print("FAIL", f)
    if failures:
        sys.exit(1)
    print("all asset checks passed")


if __name__ == "__main__":
    main()
