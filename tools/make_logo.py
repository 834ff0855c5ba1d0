#!/usr/bin/python3
"""Group logo: "ZVK" in fat, slanted light-blue chrome letters with bevels,
each in a near-black outline, over a cloud of dark-blue smoke lit by a white
flare in the middle, the whole silhouette wrapped in an ice-white rim, on
pure black.

Writes assets/logo.bgra (766x154, B,G,R,fourth byte per pixel, rows top to
bottom) and docs/logo.png as a preview. Run with /usr/bin/python3.

The intro spins and zooms this picture, drawing each pixel forward onto one
screen spot, and treats exact black as "no logo here". Over a logo cycle it
is mostly shown at 1/6 to 1/7 of its size, so every feature is drawn on a
6 px grid: strokes of 48 px, bevels, gloss lines and the rim 6 px wide, the
flare's core 12 px across; only the outline is thinner (4 px). The rim is
the one colour that stands out against every colour of the plasma, the
near-black outline the one that parts the letters from the rim and the
smoke.
"""
import os

import numpy as np

from facts import LOGO_H as H, LOGO_W as W
from picture_io import write_picture

MARGIN = 4        # black frame kept around the artwork
OUTLINE = 4.0     # near-black outline around every letter
RIM = 7.0         # ice-white rim around the whole silhouette: 6 px solid, then its soft inner edge
GRID = 6.0        # bevels and gloss lines are this wide
SLANT = 0.2       # italic shear: x shifts right by this much per pixel upwards
TOP, BOTTOM = 15.0, 139.0  # the letters' cap height: frame, rim and outline above and below
CX, CY = W / 2.0, (TOP + BOTTOM) / 2.0
FLARE = (383.0, 77.0)

# Colours (R, G, B).
OUTLINE_C = np.array([8.0, 12.0, 30.0])     # near-black navy, never (0, 0, 0)
RIM_C = np.array([244.0, 252.0, 255.0])     # at least 3:1 against every plasma colour,
RIM_LIT = np.array([255.0, 255.0, 255.0])   # and a lustre running along it up to white
SMOKE_DEEP = np.array([14.0, 34.0, 88.0])
SMOKE_LIT = np.array([70.0, 124.0, 220.0])

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The letters in unslanted pixels drawn on a cap height of 14..140 (shear()
# fits it to TOP..BOTTOM): polygons, and
# bands (a stroke along a line, cut off by the letter's box).
# Z: two bars and a diagonal of the same weight in one outline.
Z = [(30, 14), (256, 14), (256, 54), (148, 100), (256, 100), (256, 140),
     (28, 140), (28, 100), (136, 54), (30, 54)]
# V: two 47 px arms on a flat foot; the notch between them holds the flare.
V = [(268, 14), (326, 14), (383, 92), (440, 14), (498, 14), (414, 140), (352, 140)]
# K: an upright, an arm that springs from it and a leg that springs from
# the arm, both as heavy as the upright.
K_BOX = [(516, 14), (738, 14), (738, 140), (516, 140)]
K_UPRIGHT = [(516, 14), (568, 14), (568, 140), (516, 140)]
K_ARM = ((560, 90), (730, 18), 24.0)
K_LEG = ((596, 76), (724, 136), 25.0)
def shear(pts):
    fit = [(x, TOP + (y - 14.0) * (BOTTOM - TOP) / 126.0) for x, y in pts]
    return [(x + (CY - y) * SLANT, y) for x, y in fit]


def polygon_sdf(xx, yy, pts):
    """Exact signed distance to a polygon (negative inside), any shape."""
    pts = shear(pts)
    d = np.full(xx.shape, np.inf)
    inside = np.zeros(xx.shape, bool)
    for (x0, y0), (x1, y1) in zip(pts, pts[1:] + pts[:1]):
        ex, ey = x1 - x0, y1 - y0
        t = np.clip(((xx - x0) * ex + (yy - y0) * ey) / (ex * ex + ey * ey), 0.0, 1.0)
        d = np.minimum(d, np.hypot(xx - x0 - t * ex, yy - y0 - t * ey))
        crosses = (y0 > yy) != (y1 > yy)
        at = x0 + (yy - y0) * ex / (ey if ey else 1.0)
        inside ^= crosses & (xx < at)
    return np.where(inside, -d, d)


def value_noise(rng, cells_x, cells_y):
    """Smooth 2-D value noise in [0, 1] over the whole picture."""
    grid = rng.uniform(0.0, 1.0, (cells_y + 2, cells_x + 2))
    ys = np.linspace(0.0, cells_y, H)[:, None] * np.ones((1, W))
    xs = np.linspace(0.0, cells_x, W)[None, :] * np.ones((H, 1))
    ix, iy = xs.astype(int), ys.astype(int)
    fx, fy = xs - ix, ys - iy
    fx = fx * fx * (3 - 2 * fx)
    fy = fy * fy * (3 - 2 * fy)
    a = grid[iy, ix] * (1 - fx) + grid[iy, ix + 1] * fx
    b = grid[iy + 1, ix] * (1 - fx) + grid[iy + 1, ix + 1] * fx
    return a * (1 - fy) + b * fy


def band(p0, p1, half, ext=80.0):
    """A straight stroke of half-width `half` along p0-p1, run on past p1
    by `ext` so that the letter's box cuts its end."""
    (x0, y0), (x1, y1) = p0, p1
    length = np.hypot(x1 - x0, y1 - y0)
    ux, uy = (x1 - x0) / length, (y1 - y0) / length
    x1, y1 = x1 + ux * ext, y1 + uy * ext
    nx, ny = -uy * half, ux * half
    return [(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)]


def letters():
    """Each letter as a list of pieces: (polygon, box that clips it or None)."""
    return [("Z", [(Z, None)]), ("V", [(V, None)]),
            ("K", [(K_UPRIGHT, None), (band(*K_ARM), K_BOX), (band(*K_LEG), K_BOX)])]


def letter_fields(xx, yy):
    """Signed distance to each letter (the union of its pieces), and the
    unit normal pointing out of it, from the distance's gradient."""
    out = []
    for _, pieces in letters():
        d = np.min([polygon_sdf(xx, yy, p) if box is None
                    else np.maximum(polygon_sdf(xx, yy, p), polygon_sdf(xx, yy, box))
                    for p, box in pieces], axis=0)
        gy, gx = np.gradient(d)
        norm = np.hypot(gx, gy) + 1e-9
        out.append((d, gx / norm, gy / norm))
    return out


def coverage(d):
    """Anti-aliased coverage of the region d < 0 over one pixel."""
    return np.clip(0.5 - d, 0.0, 1.0)


def chrome(xx, yy, d, nx, ny):
    """The letters' face: a pale sky above the horizon, a deep blue below it
    brightening to a reflected light at the foot, a bright line under the
    horizon and a gloss stroke near the top, each a whole 6 px; then a
    6 px bevel around every letter, lit from the upper left."""
    v = np.clip((yy - TOP) / (BOTTOM - TOP), 0.0, 1.0)[..., None]
    sky = np.array([150.0, 206.0, 250.0]) + np.array([70.0, 40.0, 5.0]) * np.clip(v / 0.5, 0, 1)
    sea = np.array([34.0, 98.0, 212.0]) + np.array([60.0, 84.0, 40.0]) * np.clip((v - 0.5) / 0.5, 0, 1)
    horizon = CY + 2.0
    face = np.where((yy < horizon)[..., None], sky, sea)
    line = (yy >= horizon + GRID) & (yy < horizon + 2 * GRID)
    face = np.where(line[..., None], np.array([150.0, 210.0, 255.0]), face)
    gloss = (yy >= TOP + 2 * GRID) & (yy < TOP + 3 * GRID) & (d < -GRID)
    face = np.where(gloss[..., None], np.array([250.0, 254.0, 255.0]), face)
    # Bevel: the outer 6 px facing the light (up and left) are lit, those
    # facing away are in shade; in between it follows the normal.
    lit = np.clip(-(nx * -0.6 + ny * -0.8), -1.0, 1.0)  # +1 facing the light
    bevel = (d > -GRID)[..., None]
    light = np.array([240.0, 250.0, 255.0])
    shade = np.array([18.0, 52.0, 140.0])
    edge = np.where((lit > 0)[..., None], face + (light - face) * np.clip(lit, 0, 1)[..., None] * 0.85,
                    face + (shade - face) * np.clip(-lit, 0, 1)[..., None] * 0.85)
    return np.where(bevel, edge, face)


def flare(xx, yy):
    """The flare's light: a 12 px white core, a glow, and a cross of streaks
    6 px thick, long enough to be seen at 1/6."""
    fx, fy = FLARE
    dx, dy = xx - fx, yy - fy
    r = np.hypot(dx, dy)
    core = np.clip((8.5 - r) / 1.5, 0.0, 1.0)
    glow = np.exp(-(r / 22.0) ** 2) * 0.8
    h = np.clip((3.5 - np.abs(dy)) / 1.0, 0, 1) * np.clip(1.0 - np.abs(dx) / 130.0, 0, 1) ** 1.5
    v = np.clip((3.5 - np.abs(dx)) / 1.0, 0, 1) * np.clip(1.0 - np.abs(dy) / 46.0, 0, 1) ** 1.5
    return np.maximum(core, np.maximum(glow, 0.95 * np.maximum(h, v)))


def render():
    yy, xx = np.mgrid[0:H, 0:W].astype(np.float64) + 0.5
    fields = letter_fields(xx, yy)
    d = np.min([f[0] for f in fields], axis=0)
    which = np.argmin([f[0] for f in fields], axis=0)
    nx = np.choose(which, [f[1] for f in fields])
    ny = np.choose(which, [f[2] for f in fields])

    # Smoke: a cloud around the flare, filling the gaps beside the V and
    # its notch, billowing at its edge.
    rng = np.random.default_rng(8086)
    fbm = 0.7 * value_noise(rng, 12, 3) + 0.3 * value_noise(rng, 30, 6)
    fx, fy = FLARE
    glow_r = np.exp(-np.hypot(xx - fx, yy - fy) / 60.0)
    cloud = np.hypot((xx - fx) / 170.0, (yy - fy) / 66.0) - 1.0
    smoke_sdf = np.max([cloud * 60.0 + (fbm - 0.5) * 16.0,
                           d - OUTLINE - 18.0 - 10.0 * fbm - 40.0 * glow_r,
                        TOP - OUTLINE - yy, yy - BOTTOM - OUTLINE], axis=0)  # within the outlines' height
    body = np.minimum(d - OUTLINE, smoke_sdf)     # letters, outlines and smoke
    art = body < RIM
    frame = np.zeros((H, W), dtype=bool)
    frame[MARGIN:H - MARGIN, MARGIN:W - MARGIN] = True
    if (art & ~frame).any():
        raise SystemExit("make_logo: artwork spills into the black frame")

    # Layers from the back: rim, smoke, outline, letters, flare.
    lustre = (0.5 + 0.5 * np.sin(2 * np.pi * (xx / 96.0 + yy / 40.0)))[..., None]
    img = RIM_C + (RIM_LIT - RIM_C) * lustre
    lit = np.clip(0.35 * fbm + 0.8 * glow_r, 0, 1)[..., None]
    smoke = SMOKE_DEEP + (SMOKE_LIT - SMOKE_DEEP) * lit
    a = coverage(smoke_sdf)[..., None]
    img = img * (1 - a) + smoke * a
    a = coverage(d - OUTLINE)[..., None]
    img = img * (1 - a) + OUTLINE_C * a
    a = coverage(d)[..., None]
    img = img * (1 - a) + chrome(xx, yy, d, nx, ny) * a
    # The flare lights the letters, the smoke and the rim but leaves the
    # outline whole, so every letter stays closed in its own.
    keep = (d < -0.5) | ((d > OUTLINE + 0.5) & (body < RIM - 1.0))
    f = flare(xx, yy)[..., None] * keep[..., None]
    img = img * (1 - f) + np.array([255.0, 255.0, 255.0]) * f

    img = np.clip(np.rint(img), 0, 255)
    img = np.where(art[..., None], np.maximum(img, 1.0), 0.0)  # no black inside the art
    return img.astype(np.uint8), art


def fourth_bytes():
    """255 everywhere but in the bottom row, where 582 of columns 54-645 hold
    223-251: a faint shadow ramp that the intro copies and never shows."""
    fourth = np.full((H, W), 255, np.uint8)
    cols = np.arange(54, 646)
    cols = cols[(cols - 54) % 59 != 29]  # ten columns of the span stay 255
    fourth[H - 1, cols] = np.rint(237 - 14 * np.cos(2 * np.pi * (cols - 54) / 591)).astype(np.uint8)
    return fourth


def main():
    img, _ = render()
    write_picture(img, "logo", fourth_bytes())


if __name__ == "__main__":
    main()
