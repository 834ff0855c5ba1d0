#!/usr/bin/python3
"""Group logo: "ZVK" in fat, slanted light-blue chrome letters with bevels,
each in a near-black outline, over puffs of dark-blue smoke lit by a white
flare in the middle, the whole silhouette wrapped in an ice-white rim, on
pure black. The chrome mirrors a sky above its horizon and a warm
ground below it, going over into blue towards the foot.

Writes assets/logo.bgra (766x154, B,G,R,fourth byte per pixel, rows top to
bottom) and docs/logo.png as a preview. Run with /usr/bin/python3.

The intro spins and zooms this picture, drawing each pixel forward onto one
screen spot, and treats exact black as "no logo here". Over a logo cycle it
is mostly shown at 1/6 to 1/8 of its size, one screen pixel for every 6 to
8 of it taken as it falls, so it is drawn as flat bands and areas of 8 px
and more: strokes of 48 px, the rim 8 px wide, the chrome's bands 8 to 20
px, the flare's core 26 px across. The near-black outline is thinner (4 px)
but backed by 5 px of deep navy inside the letters, so the dark edge
survives the sampling. The rim is the one colour that stands out against
every colour of the plasma, the outline the one that parts the letters from
the rim and the smoke.
"""
import os

import numpy as np

from facts import LOGO_H as H, LOGO_W as W
from picture_io import write_picture

MARGIN = 4        # black frame kept around the artwork
OUTLINE = 4.0     # near-black outline around every letter
INNER = 5.0       # deep navy just inside the outline
RIM = 9.0         # ice-white rim around the whole silhouette: 8 px solid, then its soft inner edge
BEVEL = 10.0      # the bevel round every letter is this wide
SLANT = 0.2       # italic shear: x shifts right by this much per pixel upwards
TOP, BOTTOM = 17.0, 137.0  # the letters' cap height: frame, rim and outline above and below
CX, CY = W / 2.0, (TOP + BOTTOM) / 2.0
FLARE = (383.0, 77.0)

# Colours (R, G, B).
OUTLINE_C = np.array([8.0, 12.0, 30.0])     # near-black navy, never (0, 0, 0)
RIM_C = np.array([244.0, 252.0, 255.0])     # at least 3:1 against every plasma colour,
RIM_LIT = np.array([255.0, 255.0, 255.0])   # and a lustre running along it up to white
INNER_C = np.array([22.0, 44.0, 118.0])
SMOKE_DEEP = np.array([16.0, 36.0, 92.0])
SMOKE_MID = np.array([34.0, 70.0, 160.0])
SMOKE_LIT = np.array([84.0, 136.0, 230.0])
SMOKE_GLOW = np.array([128.0, 176.0, 248.0])
SMOKE_HOT = np.array([176.0, 212.0, 255.0])
# Smoke puffs behind the letters, (x, y, radius): a bank of round clouds
# around the flare that shows in the V's notch and the gaps beside it.
PUFFS = [(383, 60, 46), (340, 52, 34), (428, 50, 36), (300, 76, 38), (466, 74, 38),
         (262, 98, 30), (506, 100, 30), (350, 104, 34), (418, 106, 34), (250, 50, 26),
         (516, 48, 26), (222, 80, 22)]

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
    fit = [(CX + (x - CX) * 0.994, TOP + (y - 14.0) * (BOTTOM - TOP) / 126.0) for x, y in pts]
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
    """The letters' face in flat bands: a sky a step deeper than the
    rim, so a letter stays a mass of its own inside it, lighter towards the top,
    down to the horizon; under it a dark line, then the warm ground, amber
    going into copper and violet, the deep blue of the lower half and a band
    of reflected light at the foot. Round it a bevel lit from the upper
    left, and a deep navy line inside the outline."""
    v = (yy - TOP) / (BOTTOM - TOP)
    horizon = (CY + 2.0 - TOP) / (BOTTOM - TOP)
    h = (BOTTOM - TOP)
    bands = [  # (down to this height, colour)
        (0.17, (184, 224, 255)), (0.34, (132, 190, 255)), (horizon, (88, 150, 244)),
        (horizon + 8 / h, (24, 52, 128)), (horizon + 20 / h, (255, 200, 122)),
        (horizon + 30 / h, (222, 134, 100)), (horizon + 38 / h, (128, 88, 170)),
        (0.86, (40, 96, 212)), (9.0, (120, 184, 250)),
    ]
    face = np.empty(xx.shape + (3,))
    top = -9.0
    for bottom, colour in bands:
        face[(v >= top) & (v < bottom)] = colour
        top = bottom
    # Bevel: the outer band facing the light (up and left) is lit, the one
    # facing away in shade; in between it follows the normal.
    lit = np.clip(-(nx * -0.6 + ny * -0.8), -1.0, 1.0)  # +1 facing the light
    light = np.array([226.0, 242.0, 255.0])
    shade = np.array([30.0, 70.0, 170.0])
    edge = np.where((lit > 0)[..., None], face + (light - face) * np.clip(lit, 0, 1)[..., None] * 0.7,
                    face + (shade - face) * np.clip(-lit, 0, 1)[..., None] * 0.7)
    face = np.where((d > -BEVEL - INNER)[..., None], edge, face)
    return np.where((d > -INNER)[..., None], INNER_C, face)


def flare(xx, yy):
    """The flare's light: a white core 26 px across, a wide glow, a cross
    of streaks 10 px thick and shorter diagonal ones, big enough for 1/8."""
    fx, fy = FLARE
    dx, dy = xx - fx, yy - fy
    r = np.hypot(dx, dy)
    core = np.clip((14.0 - r) / 1.5, 0.0, 1.0)
    glow = np.exp(-(r / 34.0) ** 2) * 0.8
    h = np.clip((5.5 - np.abs(dy)) / 1.0, 0, 1) * np.clip(1.0 - np.abs(dx) / 120.0, 0, 1) ** 1.5
    v = np.clip((5.5 - np.abs(dx)) / 1.0, 0, 1) * np.clip(1.0 - np.abs(dy) / 70.0, 0, 1) ** 1.2
    u, w = (dx + dy) / np.sqrt(2), (dx - dy) / np.sqrt(2)
    diag = np.maximum(np.clip((4.5 - np.abs(u)) / 1.0, 0, 1) * np.clip(1.0 - np.abs(w) / 48.0, 0, 1),
                      np.clip((4.5 - np.abs(w)) / 1.0, 0, 1) * np.clip(1.0 - np.abs(u) / 48.0, 0, 1))
    return np.maximum(core, np.maximum(glow, np.maximum(0.95 * np.maximum(h, v), 0.85 * diag)))


def walled_in(open_area):
    """The part of open_area that no 4-connected path links to the border."""
    reach = np.zeros_like(open_area)
    reach[0], reach[-1], reach[:, 0], reach[:, -1] = open_area[0], open_area[-1], open_area[:, 0], open_area[:, -1]
    while True:
        grown = reach.copy()
        grown[1:] |= reach[:-1]
        grown[:-1] |= reach[1:]
        grown[:, 1:] |= reach[:, :-1]
        grown[:, :-1] |= reach[:, 1:]
        grown &= open_area
        if (grown == reach).all():
            return open_area & ~reach
        reach = grown


def render():
    yy, xx = np.mgrid[0:H, 0:W].astype(np.float64) + 0.5
    fields = letter_fields(xx, yy)
    d = np.min([f[0] for f in fields], axis=0)
    which = np.argmin([f[0] for f in fields], axis=0)
    nx = np.choose(which, [f[1] for f in fields])
    ny = np.choose(which, [f[2] for f in fields])

    # Smoke: round puffs around the flare, showing in the V's notch and the
    # gaps beside it, kept within the outlines' height.
    fx, fy = FLARE
    puffs = np.min([np.hypot(xx - px, yy - py) - pr for px, py, pr in PUFFS], axis=0)
    # The smoke stays below the letters' cap line, filling the V's notch and
    # the gaps between the letters: above them the rim runs straight, and
    # the three stand apart instead of on a dark disc.
    smoke_sdf = np.max([puffs, TOP + 2.0 - yy, yy - BOTTOM - OUTLINE], axis=0)
    body = np.minimum(d - OUTLINE, smoke_sdf)     # letters, outlines and smoke
    # Smoke fills any pocket of background that the art walls in (exact
    # black there would be a hole in the spinning logo), and the rim that
    # such a pocket or a narrow notch leaves inside: the rim runs only
    # along the open background.
    pocket = walled_in(body >= RIM)
    art = (body < RIM) | pocket
    near = ~art
    for _ in range(int(RIM) + 1):
        near = near | np.roll(near, 1, 0) | np.roll(near, -1, 0) | np.roll(near, 1, 1) | np.roll(near, -1, 1)
    smoke_sdf = np.where(art & (body > -1.0) & ~near, -RIM, smoke_sdf)
    body = np.minimum(d - OUTLINE, smoke_sdf)
    frame = np.zeros((H, W), dtype=bool)
    frame[MARGIN:H - MARGIN, MARGIN:W - MARGIN] = True
    if (art & ~frame).any():
        raise SystemExit("make_logo: artwork spills into the black frame")

    # Layers from the back: rim, smoke, outline, letters, flare.
    lustre = (0.5 + 0.5 * np.sin(2 * np.pi * (xx / 96.0 + yy / 40.0)))[..., None]
    img = RIM_C + (RIM_LIT - RIM_C) * lustre
    # each puff lit from the flare in three flat tones, deepest at its edge
    r = np.hypot(xx - fx, yy - fy)
    smoke = np.where((r < 70)[..., None], SMOKE_LIT, np.where((r < 120)[..., None], SMOKE_MID, SMOKE_DEEP))
    # nearest the flare the smoke glows, so the notch reads as lit sky
    # round a sun rather than as a dark hole
    smoke = np.where((r < 50)[..., None], SMOKE_GLOW, smoke)
    smoke = np.where((r < 32)[..., None], SMOKE_HOT, smoke)
    smoke = np.where((smoke_sdf > -8)[..., None], np.minimum(smoke, SMOKE_MID), smoke)
    a = coverage(smoke_sdf)[..., None]
    img = img * (1 - a) + smoke * a
    a = coverage(d - OUTLINE)[..., None]
    img = img * (1 - a) + OUTLINE_C * a
    a = coverage(d)[..., None]
    img = img * (1 - a) + chrome(xx, yy, d, nx, ny) * a
    # The flare lights the letters, the smoke and the rim but leaves the
    # outline whole, so every letter stays closed in its own.
    keep = np.where(d < -0.5, 0.75, ((d > OUTLINE + 0.5) & (body < RIM - 1.0)).astype(float))
    f = flare(xx, yy)[..., None] * keep[..., None]
    f = np.where((np.hypot(xx - fx, yy - fy) < 16.0)[..., None] & (d < -0.5)[..., None], 1.0, f)
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
