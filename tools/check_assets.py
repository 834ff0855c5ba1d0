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
    # The sign's field, inside its border band and pinstripe. The enamel's
    # light dims it towards the lower right: a light neutral counts as bare
    # enamel (the paint's shadow on it is far darker). The band is dark navy enamel, seen at the middle of each
    # side past the X.
    field = np.zeros_like(white)
    field[248 + 21:472 - 21, 440 + 21:840 - 21] = True
    enamel = (bgr >= 215).all(axis=2) & (bgr.max(axis=2) - bgr.min(axis=2) <= 16)
    print(f"title: {100 * enamel[field].mean():.0f} % of the sign's field is bare enamel,"
          f" {100 * white[plate].mean():.0f} % of the plate pure white")
    check(enamel[field].mean() > 0.3, "title: the sign's field is mostly covered")
    for x, y in ((640, 259), (640, 460), (451, 360), (828, 360)):
        px = bgr[y, x]
        check(px[0] > px[2] + 25 and px.max() < 130, f"title: no navy border band at ({x},{y}): {px[::-1]}")

    # Every pixel off the plate is background, paint, a blend of the two
    # (anti-aliasing, thin paint) or the paint's wet shine: green equals
    # blue and red leads.
    off = ~plate
    b, g, r = bgr[..., 0], bgr[..., 1], bgr[..., 2]
    blend_ok = (np.abs(g - b) <= 1) & (r >= g) & (g >= 3)
    check(blend_ok[off].all(), "title: stray colours off the plate")
    # The paint shines where it is wet, in glints: 3 to 12 % of it.
    paint = (r >= 180) & (np.abs(g - b) <= 1) & (r > g)
    shine = (paint & (g >= 60)).sum() / max(1, paint.sum())
    print(f"title: {paint.sum()} px of paint, {100 * shine:.1f} % of it shining wet")
    check(0.03 <= shine <= 0.12, f"title: {100 * shine:.1f} % of the paint shines (3-12 % wanted)")

    # Blue-grey lettering on the plate, enough of it reading past the X.
    ink = field & (b > r + 20) & (b < 200) & (np.abs(g - (r + b) // 2) < 20)
    print(f"title: {ink.sum()} px of blue-grey lettering in sight")
    check(ink.sum() > 8500, f"title: too little blue-grey lettering ({ink.sum()} px)")

    # The X: paint close to (237,20,20), on both diagonals, ends near the
    # four corner points.
    red = is_red(bgr)
    # The pigment's red varies with the paint's thickness, about 237.
    pigment = (r >= 180) & (g == 20) & (b == 20)
    print(f"title: {pigment.sum()} px of the pigment, its red {np.percentile(r[pigment], 5):.0f}"
          f"..{np.percentile(r[pigment], 95):.0f}, median {np.median(r[pigment]):.0f}")
    check(pigment.sum() > 60000 and abs(np.median(r[pigment]) - 237) <= 10,
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
    # The paint as paint on a sign. Spatter flies off both sides of each
    # arm, round where the brush landed and along the stroke (past 50 px
    # from the arm's line and clear of the other arm). Where the second coat
    # crosses the first, the red is deeper. The paint casts a shadow on the
    # enamel to its lower right. The enamel's chips and rust keep to where
    # signs wear, along the edges.
    yy, xx = np.mgrid[0:TITLE_H, 0:TITLE_W]
    across = []
    for (x0, y0), (x1, y1) in arms:
        length = np.hypot(x1 - x0, y1 - y0)
        ux, uy = (x1 - x0) / length, (y1 - y0) / length
        across.append((((xx - x0) * ux + (yy - y0) * uy) / length, (xx - x0) * -uy + (yy - y0) * ux))
    for k, (t, s) in enumerate(across):
        clear = red & ~plate & (np.abs(across[1 - k][1]) > 60) & (np.abs(s) > 50) & (np.abs(s) < 150)
        for lo, hi, where in ((-0.1, 0.15, "where the brush landed"), (0.15, 0.8, "along the stroke")):
            for side in (-1, 1):
                n = (clear & (t > lo) & (t < hi) & (s * side > 0)).sum()
                check(n >= 8, f"title: only {n} px of spatter {where} on one side of arm {arms[k][0]}")
    cross = np.median(r[354:371, 695:712])
    print(f"title: the crossing's red {cross:.0f} against the paint's {np.median(r[red]):.0f}")
    check(cross <= np.median(r[red]) - 15, "title: the crossing is no deeper than one coat")
    near_paint = np.zeros_like(red)
    near_paint[6:, 6:] = red[:-6, :-6]
    lum = bgr.min(axis=2)
    neutral = (np.abs(r - g) < 15) & (np.abs(g - b) < 15)
    shaded = np.median(lum[field & near_paint & ~red & neutral])
    bare = np.median(lum[field & neutral & (lum >= 200)])
    print(f"title: enamel beside the paint {shaded:.0f}, bare {bare:.0f}")
    check(shaded <= bare - 90, "title: the paint casts no clear shadow on the enamel")
    inner = np.minimum.reduce([xx - 440, yy - 248, 839 - xx, 471 - yy])
    rust = plate & (r > g + 20) & (g > b + 8) & (r < 190)
    print(f"title: {rust.sum()} px of rust, {100 * (inner[rust] <= 20).mean():.0f} % of it by the edges")
    check(rust.sum() >= 150 and (inner[rust] <= 20).mean() >= 0.95,
          "title: the enamel's wear is not along its edges")

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


def plasma_palette_rgb():
    """The plasma's 256 colours (red, green, blue) by the palette's formula:
    blue once up and down the table, red in eight shorter waves, no green."""
    k = np.arange(256)
    blue = np.trunc(128 + 128 * np.sin(k * 3.1415 / 128))
    red = np.trunc(128 + 128 * np.sin(k * 3.1415 / 16))
    return np.stack([red, np.zeros(256), blue], axis=1)


def relative_luminance(rgb):
    c = np.asarray(rgb, dtype=np.float64) / 255.0
    lin = np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)
    return lin @ np.array([0.2126, 0.7152, 0.0722])


def worst_contrast(rgb, palette):
    """For each colour in rgb (..., 3), its lowest contrast ratio against
    any colour of the palette."""
    lum = relative_luminance(rgb)[..., None]
    pal = relative_luminance(palette)
    hi, lo = np.maximum(lum, pal), np.minimum(lum, pal)
    return ((hi + 0.05) / (lo + 0.05)).min(axis=-1)


def city_distance(black, reach):
    """4-neighbour steps (up to reach + 1) from every pixel to the nearest
    black one."""
    dist = np.full(black.shape, reach + 1)
    front = black.copy()
    for step in range(reach + 1):
        dist[front & (dist > step)] = step
        pad = np.pad(front, 1, constant_values=False)
        front = front | pad[:-2, 1:-1] | pad[2:, 1:-1] | pad[1:-1, :-2] | pad[1:-1, 2:]
    return dist


def components(mask):
    """Connected regions of mask (4-neighbour), as a list of pixel counts
    and a label picture (0 outside the mask)."""
    h, w = mask.shape
    label = np.zeros(mask.shape, np.int32)
    sizes = []
    for y0, x0 in zip(*np.nonzero(mask)):
        if label[y0, x0]:
            continue
        sizes.append(0)
        n = len(sizes)
        label[y0, x0] = n
        q = deque([(y0, x0)])
        while q:
            y, x = q.popleft()
            sizes[-1] += 1
            for ny, nx in ((y - 1, x), (y + 1, x), (y, x - 1), (y, x + 1)):
                if 0 <= ny < h and 0 <= nx < w and mask[ny, nx] and not label[ny, nx]:
                    label[ny, nx] = n
                    q.append((ny, nx))
    return sizes, label


def erode(mask, n):
    for _ in range(n):
        pad = np.pad(mask, 1, constant_values=False)
        mask = mask & pad[:-2, 1:-1] & pad[2:, 1:-1] & pad[1:-1, :-2] & pad[1:-1, 2:] \
            & pad[:-2, :-2] & pad[:-2, 2:] & pad[2:, :-2] & pad[2:, 2:]
    return mask


def check_logo():
    img = load_bgra("logo.bgra", LOGO_W, LOGO_H)
    if img is None:
        return
    bgr = img[..., :3].astype(int)
    rgb = bgr[..., ::-1]
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

    # The rim: every art pixel up to 8 steps from the see-through background
    # stands out against every colour of the plasma (3:1 or more), so the
    # silhouette never melts into it; at 1/8 that is a whole pixel of rim.
    palette = plasma_palette_rgb()
    dist = city_distance(black, 9)
    rim = ~black & (dist <= 8)
    rim_contrast = worst_contrast(rgb[rim], palette).min()
    dark_rgb = worst_contrast(np.zeros(3), palette)
    print(f"logo: rim (8 px) contrast against the plasma's palette at least {rim_contrast:.2f}:1"
          f" (a near-black one would reach {dark_rgb:.2f}:1)")
    check(rim_contrast >= 3.0, f"logo: the rim reaches only {rim_contrast:.2f}:1 against the plasma")

    # The outline: near-black, never exact black, 3 to 5 px thick, and
    # closing every letter; inside it, the letters.
    luma = 0.299 * rgb[..., 0] + 0.587 * rgb[..., 1] + 0.114 * rgb[..., 2]
    outline = ~black & ~rim & (rgb.max(axis=2) <= 40)
    inside = ~black & ~outline
    sizes, label = components(inside)
    outer = label[rim].max() if rim.any() else 0
    letter_ids = [i + 1 for i, n in enumerate(sizes) if i + 1 != outer and n >= 0.05 * LOGO_W * LOGO_H]
    letters = np.isin(label, letter_ids)
    runs = []
    for m in (outline, outline.T):
        for row in m:
            edges = np.flatnonzero(np.diff(np.concatenate(([0], row.astype(int), [0]))))
            runs.extend(edges[1::2] - edges[::2])
    h_run = np.zeros(outline.shape, int)
    v_run = np.zeros(outline.shape, int)
    for m, out in ((outline, h_run), (outline.T, v_run.T)):
        for y, row in enumerate(m):
            edges = np.flatnonzero(np.diff(np.concatenate(([0], row.astype(int), [0]))))
            for a0, a1 in zip(edges[::2], edges[1::2]):
                out[y, a0:a1] = a1 - a0
    thick = np.median(np.minimum(h_run, v_run)[outline])
    # The outline's navy backing inside the letters: a dark edge of 8 px or
    # more, so at 1/8 every letter keeps its line.
    dark = ~black & ~rim & (luma < 60)
    h_run, v_run = np.zeros(dark.shape, int), np.zeros(dark.shape, int)
    for m, out in ((dark, h_run), (dark.T, v_run.T)):
        for y, row in enumerate(m):
            edges = np.flatnonzero(np.diff(np.concatenate(([0], row.astype(int), [0]))))
            for a0, a1 in zip(edges[::2], edges[1::2]):
                out[y, a0:a1] = a1 - a0
    dark_edge = np.median(np.minimum(h_run, v_run)[dark])
    pad = np.pad(letters, 1, constant_values=False)
    ring = (pad[:-2, 1:-1] | pad[2:, 1:-1] | pad[1:-1, :-2] | pad[1:-1, 2:]) & ~letters
    closed = outline[ring].mean() if ring.any() else 0.0
    oc = rgb[outline]
    print(f"logo: {len(letter_ids)} letters inside outlines, covering {100 * letters.mean():.1f} % of the picture;"
          f" outline {100 * outline.mean():.1f} %, median {thick:.0f} px thick (dark edge {dark_edge:.0f} px), brightest {oc.max(axis=1).max() if len(oc) else 0},"
          f" {100 * closed:.1f} % of the letters' edge; rim {100 * rim.mean():.1f} %, background {100 * black.mean():.1f} %")
    check(len(letter_ids) == 3, f"logo: {len(letter_ids)} letters closed in outlines, not the three of ZVK")
    check(0.4 <= letters.mean() <= 0.6, f"logo: the letters cover {100 * letters.mean():.1f} % (about half wanted)")
    check(3 <= thick <= 5, f"logo: the outline is {thick} px thick (3-5 wanted)")
    check(dark_edge >= 8, f"logo: the dark edge is {dark_edge} px thick (8 or more wanted)")
    check(closed >= 0.995, f"logo: only {100 * closed:.1f} % of the letters' edge is outlined")
    # Strokes of about 48 px: each letter keeps a core when eroded by 20 px.
    cores = [int(erode(label == i, 20).sum()) for i in letter_ids]
    print(f"logo: letter cores after eroding 20 px: {cores} px")
    check(all(c > 0 for c in cores), "logo: a letter with strokes thinner than 40 px")
    b, g, r = bgr[..., 0], bgr[..., 1], bgr[..., 2]
    light = letters & (b > 200) & (g > 140) & (r < b)
    check(light.sum() > 8000, f"logo: too few light-blue letter pixels ({light.sum()})")
    # At 1/8 the letters' upper half and the rim round it meet in a pixel or
    # two of outline: the sky in the chrome must be a tone apart from the rim.
    sky = light & (np.arange(LOGO_H)[:, None] < 60)
    apart = (relative_luminance(np.median(rgb[rim], axis=0)) + 0.05) / (relative_luminance(np.median(rgb[sky], axis=0)) + 0.05)
    print(f"logo: the rim against the letters' sky {apart:.2f}:1")
    check(apart >= 1.5, f"logo: the letters' sky is as light as the rim ({apart:.2f}:1, 1.5 wanted)")
    navy = (b > g) & (g > r) & (luma < 90) & ~black & ~outline & ~letters
    check(navy.sum() > 3000, f"logo: too little dark-blue smoke ({navy.sum()} px)")
    # Shown at a median of 1/6 to 1/7 of its size, drawn forward pixel by
    # pixel: the picture that every 6th pixel makes stays close to the
    # averaged one (the 4 px outline alone breaks up).
    near, box = luma[3::6, 3::6][:25, :127], luma[:150, :762].reshape(25, 6, 127, 6).mean(axis=(1, 3))
    sim = ssim(near, box)
    print(f"logo: SSIM of the every-6th-pixel reduction against the area average {sim:.3f}")
    check(sim >= 0.85, f"logo: SSIM at 1/6 is {sim:.3f} (at least 0.85)")
    # Spinning, the sampled pixel moves through each cell: the mean over the
    # phases along the cell's diagonal, at 1/6 and 1/8.
    for k in (6, 8):
        ch, cw = (LOGO_H - k) // k, (LOGO_W - k) // k
        area = luma[:ch * k, :cw * k].reshape(ch, k, cw, k).mean(axis=(1, 3))
        mean = np.mean([ssim(luma[p::k, p::k][:ch, :cw], area) for p in range(k)])
        print(f"logo: SSIM at 1/{k} over every phase {mean:.3f}")
        check(mean >= 0.77, f"logo: SSIM at 1/{k} over every phase is {mean:.3f} (at least 0.77)")
    cols = letters.any(axis=0)
    print(f"logo: letters span {100 * cols.mean():.0f} % of the width")
    check(cols.mean() >= 0.8, "logo: the letters fill less than 80 % of the width")
    warm = int(((r > 200) & (b < 160) & (r > g)).sum())
    check(warm > 2000, f"logo: the chrome mirrors no warm ground ({warm} px)")
    cy, cx = 77, 383
    core = bgr[cy - 16:cy + 16, cx - 16:cx + 16]
    hot = int((core >= 240).all(axis=2).sum())
    print(f"logo: {warm} px of warm ground in the chrome, the flare's white core {hot} px")
    check(hot >= 400, f"logo: the white flare in the middle is {hot} px, too small for 1/8")


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


def band_db(x, fs, lo, hi):
    """Mean power density (dB) of x between lo and hi Hz."""
    spectrum = np.abs(np.fft.rfft(x * np.hanning(len(x)))) ** 2
    f = np.fft.rfftfreq(len(x), 1.0 / fs)
    return 10 * np.log10(spectrum[(f >= lo) & (f < hi)].mean() + 1e-30)


def check_music():
    path = os.path.join(ASSETS, "music.mp3")
    if not check(shutil.which("ffmpeg") is not None,
                 "music: ffmpeg is not installed (bash tools/setup-deps.sh all)"):
        return
    import music_chip
    import music_song
    pcm = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "f32le", "-ac", "2",
                          "-ar", "48000", "-"], capture_output=True, check=True).stdout
    lr = np.frombuffer(pcm, dtype="<f4").reshape(-1, 2).T
    fs = 48000

    def at(t):
        return int(t * fs)

    lufs, peak = ebur128(path)
    print(f"music: integrated {lufs:.1f} LUFS, true peak {peak:.1f} dBTP")
    check(-12.0 <= lufs <= -10.0, f"music: integrated loudness {lufs} LUFS, wanted -12..-10")
    check(peak <= -1.0, f"music: true peak {peak} dBTP, wanted at most -1")
    for what, part in (("whole tune", lr), ("first 100 s", lr[:, :100 * fs])):
        diff = rms_db(part[0]) - rms_db(part[1])
        print(f"music: left - right over the {what}: {diff:+.2f} dB")
        check(abs(diff) <= 1.0, f"music: left and right differ by {diff:.2f} dB over the {what}")
    for f in (50, 100):
        hum = max(tone_db(lr[0], fs, f), tone_db(lr[1], fs, f))
        print(f"music: {f} Hz over the whole tune at {hum:.1f} dBFS")
        check(hum <= -55.0, f"music: {f} Hz hum at {hum:.1f} dBFS (at most -55)")

    # The cassette starts: silence, the play click, the hiss swelling as the
    # tape reaches the head, the first note.
    sec = music_song.section_seconds
    first = sec("intro")
    click = 20 * np.log10(np.abs(lr[:, :at(0.1)]).max() + 1e-12)
    before = rms_db(lr[:, :at(0.02)])
    swell = rms_db(lr[:, at(0.1):at(0.14)]), rms_db(lr[:, at(first - 0.06):at(first - 0.01)])
    print(f"music: tape start: {before:.0f} dBFS, click peak {click:.1f} dBFS, hiss from {swell[0]:.1f} to"
          f" {swell[1]:.1f} dBFS, first note at {first:.2f} s")
    check(before < -80 and click > -20 and swell[1] - swell[0] >= 4.0 and first >= 0.25,
          "music: no cassette start (silence, click, swelling hiss) before the first note")

    # Whole 4-bar phrases; the break meets the end screen (68.5-69.5 s) and
    # is heard there: the level drops as it starts.
    names = [n for n, _ in music_song.SECTIONS]
    starts = [bar for _, bar in music_song.SECTIONS]
    bars = [b - a for a, b in zip(starts, starts[1:])]
    print(f"music: sections {names} of {bars} bars, break at {sec('break'):.2f} s, hit at {sec('hit'):.2f} s")
    check(all(n % music_song.PHRASE_BARS == 0 for n in bars[:-2]) and bars[-2] % music_song.PHRASE_BARS == 1,
          "music: a section is not whole 4-bar phrases (the finale one bar of fill more)")
    check(68.5 <= sec("break") <= 69.5, f"music: break at {sec('break'):.2f} s, not 68.5-69.5")
    k = at(sec("break"))
    drop = rms_db(lr[:, k - 3 * fs:k]) - rms_db(lr[:, k + fs // 2:k + 7 * fs // 2])
    check(drop >= 3.0, f"music: the level drops only {drop:.1f} dB where the break starts")

    # Theme B lifts: louder than A by 1 to 2.5 LU; the break is 4 LU under
    # the themes.
    la, lb, lf = [ebur128(path, sec(a), sec(b))[0] for a, b in
                  (("theme A", "theme B"), ("theme B", "break"), ("finale", "hit"))]
    quiet = ebur128(path, sec("break"), sec("finale"))[0]
    print(f"music: theme A {la:.1f}, theme B {lb:.1f} ({lb - la:+.1f} LU), break {quiet:.1f}, finale {lf:.1f} LUFS")
    check(1.0 <= lb - la <= 2.5, f"music: theme B is {lb - la:+.1f} LU over theme A (1 to 2.5 wanted)")
    check(min(la, lb, lf) - quiet >= 4.0, "music: the break is not 4 LU under the themes")

    # The lead sits in the middle; the other voices keep the width, and a
    # mono fold-down keeps every section's level.
    lead_pan = 20 * np.log10(music_chip.PAN[music_song.LEAD_CH, 0] / music_chip.PAN[music_song.LEAD_CH, 1])
    print(f"music: the lead on channel {'ABC'[music_song.LEAD_CH]}, {lead_pan:+.1f} dB left of the middle")
    check(abs(lead_pan) <= 4.0, f"music: the lead is {lead_pan:+.1f} dB off the middle")
    themes = lr[:, at(sec("theme A")):at(sec("break"))]
    low = band_db(themes[0], fs, 40, 150) - band_db(themes[1], fs, 40, 150)
    print(f"music: under 150 Hz in the themes left - right {low:+.1f} dB")
    check(abs(low) <= 5.0, f"music: the low end is {low:+.1f} dB off the middle")
    part = lr[:, :100 * fs]
    corr = np.corrcoef(part[0], part[1])[0, 1]
    print(f"music: first 100 s left/right correlation {corr:.2f}")
    check(0.55 <= corr <= 0.9, f"music: correlation {corr:.2f} over the first 100 s, wanted 0.55-0.9")
    for a, b in zip(names[:5], names[1:6]):
        part = lr[:, at(sec(a)):at(sec(b))]
        corr = np.corrcoef(part[0], part[1])[0, 1]
        loss = rms_db(part.mean(axis=0)) - rms_db(part)
        print(f"music: {a} correlation {corr:.2f}, mono fold-down {loss:+.1f} dB")
        check(0.5 <= corr <= 0.95, f"music: {a} correlation {corr:.2f}, wanted 0.5-0.95")
        check(loss >= -1.5, f"music: {a} loses {-loss:.1f} dB in mono")

    # The end lands: the closing phrase, one hit, its tail gone into the
    # hiss before the taper's pause key ends the recording; the recorded
    # hiss is heard there under -30 dBFS. Then the blank tape, quieter but
    # heard through the end screen's fade (98.5-101 s; over the end-to-end
    # check's -50 dBFS at the mixer's volume, 2.1 dB down), until the stop
    # click; silence after it.
    hit = sec("hit")
    gone = hit + music_song.HIT_DECAY_S
    rec_end, stop = music_song.REC_END_S, music_song.STOP_S
    phrase = rms_db(lr[:, at(hit - 2):at(hit)])
    struck = rms_db(lr[:, at(hit):at(hit + 0.5)])
    tail = rms_db(lr[:, at(gone):at(gone + 0.15)])
    hiss_alone = rms_db(lr[:, at(rec_end - 0.4):at(rec_end - 0.1)])
    key = 20 * np.log10(np.abs(lr[:, at(rec_end - 0.1):at(rec_end + 0.1)]).max() + 1e-12)
    around = 20 * np.log10(np.abs(lr[:, at(rec_end - 0.4):at(rec_end - 0.1)]).max() + 1e-12)
    blank = rms_db(lr[:, at(rec_end + 0.1):at(stop - 0.1)])
    after = rms_db(lr[:, at(stop + 0.1):])
    print(f"music: closing phrase {phrase:.1f}, hit {struck:.1f}, from {gone:.1f} s {tail:.1f},"
          f" tape alone {hiss_alone:.1f}; pause key at {rec_end:.1f} s (peak {key:.1f}), blank tape {blank:.1f},"
          f" after the stop click at {stop:.1f} s {after:.0f} dBFS")
    check(phrase > -20.0 and struck > phrase - 3.0, "music: no closing phrase and hit")
    check(abs(tail - hiss_alone) <= 1.0, f"music: the hit still rings at {tail:.1f} dBFS after {gone:.1f} s")
    check(-40.0 <= hiss_alone <= -34.0, f"music: the tape's hiss alone at {hiss_alone:.1f} dBFS, wanted -40..-34")
    check(key > around + 4.0, f"music: no pause key at {rec_end:.1f} s ({key:.1f} dBFS peak, {around:.1f} before)")
    check(-46.0 <= blank <= hiss_alone - 3.0, f"music: the blank tape at {blank:.1f} dBFS,"
          f" wanted -46 up to 3 dB under the recorded hiss")
    check(after < -80.0, "music: sound after the stop click")
    # Hiss is heard in the quiet places: the intro and the break stay within
    # 20 dB of it.
    for name, nxt in (("intro", "theme A"), ("break", "finale")):
        over = rms_db(lr[:, at(sec(name)):at(sec(nxt))]) - hiss_alone
        print(f"music: the {name} is {over:.1f} dB over the hiss")
        check(over <= 20.0, f"music: the {name} buries the hiss ({over:.1f} dB over it)")
    # The cassette's top: the themes' highs roll off.
    mix = lr[:, at(sec("theme A")):at(sec("break"))].mean(axis=0)
    roll = band_db(mix, fs, 1000, 4000) - band_db(mix, fs, 12000, 15000)
    print(f"music: 12-15 kHz {roll:.1f} dB under 1-4 kHz in the themes")
    check(roll >= 20.0, f"music: the highs fall only {roll:.1f} dB (a cassette's roll-off wanted)")


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
