#!/usr/bin/python3
"""Group logo: "ZVK" in glossy light-blue brush letters that fill the
picture, each wrapped in a close band of dark-blue smoke lit from behind (a
pale rim at its edge), with a white flare in the middle, on pure black.

Writes assets/logo.bgra (766x154, B,G,R,fourth byte per pixel, rows top to
bottom) and docs/logo.png as a preview. Run with /usr/bin/python3.

The intro spins and zooms this picture, drawing each pixel forward onto one
screen spot, and treats exact black as "no logo here". Over a logo cycle it
is shown at a median of about 1/6 of its size, so the letters take the whole
width, strokes are 36 px or more (6 px at 1/6) and no detail is finer than
the smoke band (2 px at 1/6); no thin outline that would break up into
dots. Every pixel of the artwork is kept at or above a dark-blue floor and
everything else is exactly (0, 0, 0). Nothing of the art is near-black: over
the plasma a dark silhouette would read as a hole, so the floor is a blue of
luma 33 and the smoke's edge is its lightest part.
"""
import os

import numpy as np

from facts import LOGO_H as H, LOGO_W as W
from picture_io import write_picture

CX, CY = W / 2.0, H / 2.0
MARGIN = 4  # black frame kept around the artwork
FLOOR = np.array([10.0, 36.0, 76.0])  # darkest art colour (R, G, B): dark blue, luma 33
SMOKE_W = 12.0  # the smoke band around the letters
SLANT = 0.2  # italic shear: x shifts right by this much per pixel upwards

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Brush strokes in unslanted pixel coordinates. Each stroke is a polyline
# with a radius at each point; radii are interpolated along the path.
STROKES = [
    # Z: one continuous stroke, top bar -> diagonal -> bottom bar with a flick
    [(34, 47, 9), (52, 43, 16), (218, 41, 17), (236, 43, 17),
     (66, 107, 18), (82, 111, 17), (232, 109, 16), (256, 104, 8)],
    # V: left arm pressed down to the point, right arm lifting to a flick
    [(270, 38, 9), (286, 44, 17), (366, 109, 18), (378, 111, 17),
     (454, 48, 16), (482, 35, 8)],
    # K: upright, pressed at the top and thinning a little as the brush pulls down
    [(526, 37, 10), (528, 47, 18), (524, 102, 17), (520, 114, 11)],
    # K: arm and leg as one chevron stroke
    [(712, 37, 8), (690, 47, 15), (562, 77, 16), (566, 80, 16),
     (690, 107, 15), (722, 116, 8)],
]


def shear(x, y):
    return x + (CY - y) * SLANT, y


def stroke_distance(xx, yy, pts, step=1.0):
    """Signed distance (pixels) to a variable-radius polyline: the union of
    many short tapered capsules sampled along the path."""
    pts = [(*shear(x, y), r) for x, y, r in pts]
    samples = []
    for (x0, y0, r0), (x1, y1, r1) in zip(pts, pts[1:]):
        n = max(2, int(np.hypot(x1 - x0, y1 - y0) / step))
        for i in range(n):
            f = i / n
            samples.append((x0 + (x1 - x0) * f, y0 + (y1 - y0) * f,
                            r0 + (r1 - r0) * f))
    samples.append(pts[-1])
    d = np.full(xx.shape, 1e9)
    for x, y, r in samples:
        d = np.minimum(d, np.hypot(xx - x, yy - y) - r)
    return d


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


def letter_distance(xx, yy):
    return np.min([stroke_distance(xx, yy, s) for s in STROKES], axis=0)


def flare(xx, yy):
    dx, dy = xx - CX, yy - (CY - 2)
    r2 = dx * dx + dy * dy
    core = np.exp(-r2 / (2 * 6.0 ** 2))
    glow = np.exp(-r2 / (2 * 18.0 ** 2)) * 0.5
    # Short streaks: they glint across the V and fade well inside the band.
    h_streak = np.exp(-dy * dy / (2 * 3.0 ** 2)) * np.exp(-np.abs(dx) / 40.0)
    h_streak *= np.clip(1.0 - np.abs(dx) / 110.0, 0.0, 1.0)
    v_streak = np.exp(-dx * dx / (2 * 3.0 ** 2)) * np.exp(-np.abs(dy) / 18.0)
    v_streak *= np.clip(1.0 - np.abs(dy) / 40.0, 0.0, 1.0)
    return core + glow, 0.8 * h_streak + 0.6 * v_streak


def smoke_reach(xx, yy, d):
    """How far into the smoke band a pixel lies: 0 at the letters, 1 at the
    band's outer edge, above 1 outside. The band billows a little with the
    noise, and swells into a cloud around the flare between the V's arms."""
    rng = np.random.default_rng(8086)
    fbm = 0.6 * value_noise(rng, 18, 4) + 0.4 * value_noise(rng, 40, 8)
    width = SMOKE_W * (0.8 + 0.4 * fbm)
    cloud = 30.0 - np.hypot((xx - CX) / 1.2, yy - CY)
    return np.minimum(np.maximum(d, 0.0) / width, 1.0 - cloud / SMOKE_W), fbm


def distance_to_black(art, reach):
    """Chessboard distance (pixels, up to `reach`) from each art pixel to the
    nearest pixel outside the art."""
    dist = np.zeros(art.shape)
    inside = art.copy()
    for _ in range(reach):
        dist += inside
        pad = np.pad(inside, 1, constant_values=False)
        inside = inside & pad[:-2, 1:-1] & pad[2:, 1:-1] & pad[1:-1, :-2] & pad[1:-1, 2:] \
            & pad[:-2, :-2] & pad[:-2, 2:] & pad[2:, :-2] & pad[2:, 2:]
    return dist


def fill_holes(art):
    """Art pixels plus every black pixel that the border cannot reach."""
    reach = ~art
    seen = np.zeros_like(art)
    seen[0], seen[-1], seen[:, 0], seen[:, -1] = reach[0], reach[-1], reach[:, 0], reach[:, -1]
    while True:
        grown = seen.copy()
        grown[1:] |= seen[:-1]
        grown[:-1] |= seen[1:]
        grown[:, 1:] |= seen[:, :-1]
        grown[:, :-1] |= seen[:, 1:]
        grown &= reach
        if (grown == seen).all():
            return ~seen
        seen = grown


def render():
    yy, xx = np.mgrid[0:H, 0:W].astype(np.float64) + 0.5
    d = letter_distance(xx, yy)
    reach, fbm = smoke_reach(xx, yy, d)

    # --- smoke band -------------------------------------------------------
    # Lit from behind: dark blue close to the letters (and in the gaps
    # between their strokes), lightening outwards into a pale rim along the
    # silhouette, so that over the plasma it reads as light and not as a
    # hole. Soft wisps where the noise is high.
    smoke_on = reach <= 1.0
    art = fill_holes(smoke_on | (d < 0.5))
    deep = np.array([12.0, 44.0, 96.0])
    lit = np.array([52.0, 112.0, 206.0])
    rim_c = np.array([150.0, 205.0, 255.0])
    t = np.clip(reach, 0.0, 1.0)[..., None]
    wisp = np.clip((fbm - 0.45) * 2.5, 0.0, 1.0)[..., None]
    img = deep + (lit - deep) * (0.45 * t + 0.35 * wisp)
    rim = (np.clip(1.0 - (distance_to_black(art, 7) - 1.0) / 6.0, 0.0, 1.0) ** 1.3)[..., None]
    img = img * (1 - rim) + rim_c * rim
    smoke_on = art

    # --- flare behind the letters ----------------------------------------
    glow, streaks = flare(xx, yy)
    img = img + np.array([200.0, 225.0, 255.0]) * (glow * smoke_on)[..., None] * 0.9

    # --- letters ------------------------------------------------------------
    # Chrome-like gloss: pale top, bright band, sharp drop, deeper blue below;
    # the edge blends into the smoke over three pixels, which a reduction
    # to 1/6 keeps.
    fill_cov = np.clip(0.5 - d / 3.0, 0.0, 1.0)
    top, bottom = 14.0, 140.0
    v = np.clip((yy - top) / (bottom - top), 0.0, 1.0)[..., None]
    c_top = np.array([168.0, 214.0, 250.0])
    c_band = np.array([236.0, 248.0, 255.0])
    c_mid = np.array([92.0, 170.0, 238.0])
    c_low = np.array([56.0, 124.0, 214.0])
    upper = c_top + (c_band - c_top) * np.clip(v / 0.4, 0, 1)
    lower = c_mid + (c_low - c_mid) * np.clip((v - 0.44) / 0.56, 0, 1)
    edge = np.clip((v - 0.38) / 0.1, 0, 1)  # the glossy horizon
    fill = upper * (1 - edge) + lower * edge
    # Rounded-tube shading: a little darker towards the stroke's edge.
    inner = np.clip(-d / 10.0, 0.0, 1.0)[..., None]
    fill = fill * (0.78 + 0.22 * np.sqrt(inner))
    f = fill_cov[..., None]
    img = img * (1 - f) + fill * f

    # --- flare in front: hot core and streaks glint over everything --------
    front = 0.55 * np.exp(-((xx - CX) ** 2 + (yy - CY + 2) ** 2) / (2 * 5.0 ** 2))
    img = img + np.array([255.0, 255.0, 255.0]) * (streaks * smoke_on + front)[..., None]

    # --- art mask and floor ------------------------------------------------
    frame = np.zeros((H, W), dtype=bool)
    frame[MARGIN:H - MARGIN, MARGIN:W - MARGIN] = True
    if (art & ~frame).any():
        raise SystemExit("make_logo: artwork spills into the black frame")
    img = np.clip(np.rint(img), 0, 255)
    img = np.maximum(img, FLOOR)
    img = np.where(art[..., None], img, 0.0)
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
