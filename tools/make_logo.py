#!/usr/bin/python3
"""Group logo: "ZVK" in glossy light-blue brush letters over dark-blue smoke
that is lit from behind (a pale rim at its edge), with a white flare in the
middle, on pure black.

Writes assets/logo.bgra (766x154, B,G,R,255 per pixel, rows top to bottom)
and docs/logo.png as a preview. Run with /usr/bin/python3.

The intro spins and zooms this picture with nearest-neighbour sampling and
treats exact black as "no logo here", so: every pixel of the artwork is kept
at or above a dark-blue floor, everything else is exactly (0, 0, 0), and the
shapes are bold with smooth shading so they survive 1/8x to 12x. Nothing of
the art is near-black: over the plasma a dark silhouette would read as a
hole, so the floor is a blue of luma 33 and the smoke's edge is its lightest
part.
"""
import os

import numpy as np

from picture_io import write_picture

W, H = 766, 154
CX, CY = W / 2.0, H / 2.0
MARGIN = 4  # black frame kept around the artwork
FLOOR = np.array([10.0, 36.0, 76.0])  # darkest art colour (R, G, B): dark blue, luma 33
OUTLINE_W = 4.0
SLANT = 0.24  # italic shear: x shifts right by this much per pixel upwards

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Brush strokes in unslanted pixel coordinates. Each stroke is a polyline
# with a radius at each point; radii are interpolated along the path.
STROKES = [
    # Z: one continuous stroke, top bar -> diagonal -> bottom bar with a flick
    [(146, 38, 3), (166, 34, 11), (258, 28, 12), (274, 29, 14),
     (168, 117, 15), (182, 121, 12), (262, 118, 11), (302, 109, 2)],
    # V: left arm pressed down to the point, right arm lifting to a flick
    [(300, 25, 4), (316, 33, 15), (364, 119, 14), (372, 122, 11),
     (424, 40, 11), (454, 18, 2)],
    # K: upright, pressed at the top and thinning as the brush pulls down
    [(490, 20, 4), (490, 36, 15), (484, 112, 13), (478, 127, 5)],
    # K: arm and leg as one chevron stroke
    [(616, 22, 2), (596, 34, 10), (508, 78, 13), (512, 82, 13),
     (598, 117, 13), (630, 127, 2)],
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


def smoke_density(xx, yy):
    rng = np.random.default_rng(8086)
    fbm = (0.45 * value_noise(rng, 6, 2) + 0.32 * value_noise(rng, 14, 4)
           + 0.23 * value_noise(rng, 30, 7))
    # Elliptic body of the cloud, edges pushed in and out by the noise into
    # billows; sized so the billows stay clear of the black frame.
    ex = (xx - CX) / 330.0
    ey = (yy - CY) / 60.0
    r = np.sqrt(ex * ex + ey * ey)
    body = 1.0 - r + 0.75 * (fbm - 0.5)
    # Thin the cloud out towards the frame so billows never touch it.
    to_frame = np.minimum(np.minimum(xx, W - xx), np.minimum(yy, H - yy)) - MARGIN
    body -= 1.5 * np.clip(1.0 - to_frame / 16.0, 0.0, 1.0) ** 2
    return np.clip(body * 1.6, 0.0, 1.0), fbm


def flare(xx, yy):
    dx, dy = xx - CX, yy - (CY - 2)
    r2 = dx * dx + dy * dy
    core = np.exp(-r2 / (2 * 7.0 ** 2))
    glow = np.exp(-r2 / (2 * 26.0 ** 2)) * 0.55
    halo = np.exp(-r2 / (2 * 60.0 ** 2)) * 0.12
    # Thin streaks: long horizontal, shorter vertical; they fade with
    # distance and never reach the black frame.
    h_streak = np.exp(-dy * dy / (2 * 1.3 ** 2)) * np.exp(-np.abs(dx) / 95.0)
    h_streak *= np.clip(1.0 - np.abs(dx) / (CX - MARGIN - 30), 0.0, 1.0)
    v_streak = np.exp(-dx * dx / (2 * 1.2 ** 2)) * np.exp(-np.abs(dy) / 30.0)
    v_streak *= np.clip(1.0 - np.abs(dy) / 56.0, 0.0, 1.0)
    return core + glow + halo, 0.9 * h_streak + 0.7 * v_streak


def render():
    yy, xx = np.mgrid[0:H, 0:W].astype(np.float64) + 0.5

    # --- smoke -----------------------------------------------------------
    # Lit from behind: dark blue where the cloud is thick, brightening
    # towards its edge into a pale rim, so that over the plasma the
    # silhouette reads as light and not as a hole.
    dens, fbm = smoke_density(xx, yy)
    smoke_on = dens > 0.04
    deep = np.array([10.0, 40.0, 80.0])
    lit = np.array([40.0, 96.0, 196.0])
    rim_c = np.array([150.0, 205.0, 255.0])
    t = np.clip(dens, 0, 1)[..., None] ** 0.8
    # Brighter wisps where the fine noise is high.
    wisp = np.clip((fbm - 0.42) * 3.0, 0, 1)[..., None]
    img = deep + (lit - deep) * (1 - t) * 0.35 + (lit - deep) * t * wisp * 0.8
    rim = np.exp(-np.clip(dens - 0.04, 0, 1) / 0.06)[..., None]
    rim = rim * (0.75 + 0.25 * np.clip((fbm - 0.3) * 2.5, 0, 1)[..., None])
    img = img * (1 - rim) + rim_c * rim
    img = np.where(smoke_on[..., None], img, 0.0)

    # --- flare behind the letters ---------------------------------------
    glow, streaks = flare(xx, yy)
    tint = np.array([200.0, 225.0, 255.0])
    # The glow is light scattered by the smoke, so it only shows on smoke.
    img = img + tint * (glow * smoke_on)[..., None] * 0.9

    # --- letters ---------------------------------------------------------
    d = np.min([stroke_distance(xx, yy, s) for s in STROKES], axis=0)
    fill_cov = np.clip(0.5 - d, 0.0, 1.0)
    all_cov = np.clip(0.5 - (d - OUTLINE_W), 0.0, 1.0)

    # Chrome-like gloss: pale top, bright band, sharp drop, deeper blue below.
    top, bottom = 22.0, 132.0
    v = np.clip((yy - top) / (bottom - top), 0.0, 1.0)
    c_top = np.array([168.0, 214.0, 250.0])
    c_band = np.array([236.0, 248.0, 255.0])
    c_mid = np.array([92.0, 170.0, 238.0])
    c_low = np.array([48.0, 112.0, 206.0])
    v3 = v[..., None]
    upper = c_top + (c_band - c_top) * np.clip(v3 / 0.38, 0, 1)
    lower = c_mid + (c_low - c_mid) * np.clip((v3 - 0.42) / 0.58, 0, 1)
    edge = np.clip((v3 - 0.38) / 0.04, 0, 1)  # the glossy horizon
    fill = upper * (1 - edge) + lower * edge
    # Rounded-tube shading: darker close to the outline.
    inner = np.clip(-d / 7.0, 0.0, 1.0)[..., None]
    fill = fill * (0.72 + 0.28 * np.sqrt(inner))
    navy = np.array([16.0, 36.0, 100.0])

    a = all_cov[..., None]
    img = img * (1 - a) + navy * a
    f = fill_cov[..., None]
    img = img * (1 - f) + fill * f

    # --- flare in front: hot core and streaks glint over everything --------
    front = 0.55 * np.exp(-((xx - CX) ** 2 + (yy - CY + 2) ** 2) / (2 * 5.0 ** 2))
    img = img + np.array([255.0, 255.0, 255.0]) * (streaks + front)[..., None]

    # --- art mask and floor ------------------------------------------------
    art = smoke_on | (all_cov > 0.0) | (streaks * 255 > 3)
    frame = np.zeros((H, W), dtype=bool)
    frame[MARGIN:H - MARGIN, MARGIN:W - MARGIN] = True
    if (art & ~frame).any():
        raise SystemExit("make_logo: artwork spills into the black frame")
    img = np.clip(np.rint(img), 0, 255)
    img = np.maximum(img, FLOOR)
    img = np.where(art[..., None], img, 0.0)
    return img.astype(np.uint8)


def main():
    write_picture(render(), "logo")


if __name__ == "__main__":
    main()
