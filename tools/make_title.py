#!/usr/bin/python3
"""Title card: a white 'OpenGL' plate crossed out with a red painted X.

Writes assets/title.bgra (1280x720, B,G,R,255 per pixel, rows top to bottom)
and docs/title.png as a preview. Rendered at 2x and box-filtered down, so flat
areas keep their exact values while edges come out anti-aliased.
Run with /usr/bin/python3 (needs numpy and Pillow). Deterministic: all noise
comes from fixed seeds.
"""
import os
import sys

import numpy as np

from facts import TITLE_H as H, TITLE_W as W
from picture_io import write_picture
from PIL import Image, ImageDraw, ImageFont

S = 2  # supersampling factor
BG = 3.0
PLATE = (440, 248, 839, 471)  # inclusive pixel bounds of the white plate
INK = np.array([92.0, 110.0, 134.0])  # blue-grey lettering (R, G, B)
PAINT = np.array([237.0, 20.0, 20.0])  # red brush paint (R, G, B)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The lettering's face; a different one would change the picture, so there
# is no fallback.
FONT_PATH = "/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf"
FONT_PACKAGE = "fonts-dejavu-extra"


def smooth_noise(rng, n_knots, n_samples):
    """1-D value noise in [-1, 1]: random knots joined by smoothstep curves."""
    knots = rng.uniform(-1.0, 1.0, n_knots + 1)
    x = np.linspace(0.0, n_knots, n_samples)
    i = np.minimum(x.astype(int), n_knots - 1)
    f = x - i
    f = f * f * (3.0 - 2.0 * f)
    return knots[i] * (1.0 - f) + knots[i + 1] * f


def sample(table, t):
    """Look up a noise table over t in [0, 1] with linear interpolation."""
    return np.interp(t, np.linspace(0.0, 1.0, len(table)), table)


def blend(canvas, coverage, color):
    a = np.clip(coverage, 0.0, 1.0)[..., None]
    canvas *= 1.0 - a
    canvas += a * color


def swoosh_coverage(xx, yy, cx, cy, rx, ry, tilt):
    """Crescent-shaped oval ring: heavy on the lower left, tapering to
    nothing at both ends of an open gap on the upper right."""
    c, s = np.cos(tilt), np.sin(tilt)
    dx, dy = xx - cx, yy - cy
    u = (dx * c + dy * s) / rx
    v = (-dx * s + dy * c) / ry
    rho = np.sqrt(u * u + v * v)
    ang = np.arctan2(v, u)  # 0 = right, +pi/2 = down (image y grows down)
    # Angle measured from the gap centre (upper right), 0..2pi around.
    gap_centre = -0.9
    a = np.mod(ang - gap_centre, 2.0 * np.pi)
    gap = 0.55  # half-width of the opening in radians
    t = np.clip((a - gap) / (2.0 * np.pi - 2.0 * gap), 0.0, 1.0)
    inside = (a > gap) & (a < 2.0 * np.pi - gap)
    # Width profile: sin-shaped taper, peaked towards the start of the sweep.
    width = 0.11 * np.sin(np.pi * t) ** 1.4 * (1.0 + 0.5 * np.cos(np.pi * (t - 0.4)))
    # Centre line bulges slightly outward where the ring is thick.
    mid = 1.0 + 0.3 * width
    scale = min(rx, ry)  # ring widths are in units of the radius
    dist = (width * 0.5 - np.abs(rho - mid)) * scale
    return np.where(inside, np.clip(dist + 0.5, 0.0, 1.0), 0.0)


def draw_plate(canvas):
    x0, y0, x1, y1 = (v * S for v in PLATE)
    x1 += S
    y1 += S
    canvas[y0:y1, x0:x1] = 255.0
    pw, ph = x1 - x0, y1 - y0
    cx, cy = x0 + pw / 2.0, y0 + ph / 2.0

    yy, xx = np.mgrid[y0:y1, x0:x1].astype(np.float64) + 0.5
    ring = swoosh_coverage(xx, yy, cx, cy + 4 * S, pw * 0.45, ph * 0.40, -0.12)
    blend(canvas[y0:y1, x0:x1], ring, INK)

    font_path = FONT_PATH
    if not os.path.exists(font_path):
        sys.exit(f"make_title: {font_path} is missing; install the Debian package"
                 f" {FONT_PACKAGE} (bash tools/setup-deps.sh all)")
    text = "OpenGL"
    # Size the word to fill about two thirds of the plate's width.
    probe = ImageFont.truetype(font_path, 100)
    pl, _, pr, _ = probe.getbbox(text)
    font = ImageFont.truetype(font_path, int(100 * 0.66 * pw / (pr - pl)))
    mask = Image.new("L", (pw, ph), 0)
    d = ImageDraw.Draw(mask)
    l, t, r, b = d.textbbox((0, 0), text, font=font)
    d.text(((pw - (r - l)) / 2.0 - l, (ph - (b - t)) / 2.0 - t - 2 * S), text,
           font=font, fill=255)
    blend(canvas[y0:y1, x0:x1], np.asarray(mask, dtype=np.float64) / 255.0, INK)


def antialiased(field):
    """Coverage of the region where `field` > 0, one canvas pixel wide at its
    edge whatever the slope of the field: the edge of a streak that runs at
    a slant is shaded, not stepped."""
    gy, gx = np.gradient(field)
    return np.clip(0.5 + field / (np.hypot(gx, gy) + 1e-6), 0.0, 1.0)


def brush_stroke(canvas, p0, p1, seed, press=1.0):
    """Paint one arm of the X: a loaded brush that starts with a blunt blob,
    wobbles, and runs dry towards the end, leaving bristle streaks."""
    rng = np.random.default_rng(seed)
    p0 = np.array(p0, dtype=np.float64) * S
    p1 = np.array(p1, dtype=np.float64) * S
    d = p1 - p0
    length = np.hypot(*d)
    u = d / length
    n = np.array([-u[1], u[0]])
    half = 34.0 * S * press

    # Only evaluate the stroke's bounding box.
    pad = half * 1.6
    xs = [p0[0], p1[0]]
    ys = [p0[1], p1[1]]
    bx0 = int(max(0, min(xs) - pad)); bx1 = int(min(W * S, max(xs) + pad))
    by0 = int(max(0, min(ys) - pad)); by1 = int(min(H * S, max(ys) + pad))
    yy, xx = np.mgrid[by0:by1, bx0:bx1].astype(np.float64) + 0.5
    rx, ry = xx - p0[0], yy - p0[1]
    t = (rx * u[0] + ry * u[1]) / length
    s = rx * n[0] + ry * n[1]

    samples = 4096
    wobble = sample(smooth_noise(rng, 5, samples), t) * 9.0 * S
    swell = 1.0 + 0.16 * sample(smooth_noise(rng, 9, samples), t)
    edge_l = (sample(smooth_noise(rng, 140, samples), t) * 3.5
              + sample(smooth_noise(rng, 600, samples), t) * 1.8) * S
    edge_r = (sample(smooth_noise(rng, 140, samples), t) * 3.5
              + sample(smooth_noise(rng, 600, samples), t) * 1.8) * S
    # Fine edge noise is kept small: sharp teeth would stair-step.
    edge_l = edge_l * 0.6
    edge_r = edge_r * 0.6

    # Width profile along the stroke: round cap where the brush touched
    # down, then a long taper as it lifts off.
    cap = np.clip(t * length / half, 0.0, 1.0)
    start = np.sqrt(np.clip(1.0 - (1.0 - cap) ** 2, 0.0, 1.0))
    end = np.clip((1.0 - t) / 0.35, 0.0, 1.0) ** 0.6
    hw = half * swell * start * (0.55 + 0.45 * end)
    # A hand never draws quite straight: gentle bow plus wobble.
    sc = s - wobble - np.sin(np.pi * np.clip(t, 0, 1)) * 14.0 * S

    # Ragged sides, extra ragged where the brush is running dry.
    dry = np.clip((t - 0.55) / 0.45, 0.0, 1.0)
    rag = 1.0 + 0.8 * dry
    dist_side = np.where(sc < 0, hw + edge_l * rag + sc, hw + edge_r * rag - sc)
    dist = np.where(t >= 0.0, dist_side, -1e9)

    # Bristle streaks: lateral position across the brush picks a bristle.
    # Towards the end each bristle runs dry at its own point: the paint
    # level it needs rises along the stroke past the best-loaded bristle,
    # so the streaks narrow to points and stop before the brush lifts.
    v = np.clip(sc / np.maximum(hw, 1.0), -1.2, 1.2)
    bristles = smooth_noise(rng, 40, 2048)
    b = np.interp(v + 0.01 * sample(smooth_noise(rng, 20, samples), t),
                  np.linspace(-1.2, 1.2, len(bristles)), bristles)
    streak_len = sample(smooth_noise(rng, 24, samples), t)  # uneven run-out
    run = np.maximum((t - 0.55) / 0.45, 0.0)  # like `dry`, but goes on past the end
    threshold = -1.0 + 1.8 * run ** 2 + 0.15 * dry * streak_len
    paint = antialiased(b - threshold)
    # A couple of thin dry lines that run through most of the stroke.
    fine = smooth_noise(rng, 45, 2048)
    fb = np.interp(v, np.linspace(-1.2, 1.2, len(fine)), fine)
    paint *= 1.0 - antialiased(fb - 0.93) * np.clip((t - 0.18) / 0.1, 0.0, 1.0)

    cov = np.clip(dist + 0.5, 0.0, 1.0) * paint
    # Paint is slightly thinner where the bristles carry less.
    shade = PAINT * (0.94 + 0.06 * np.clip(b, -1, 1))[..., None]
    shade[..., 1:] = PAINT[1:]
    a = cov[..., None]
    region = canvas[by0:by1, bx0:bx1]
    region *= 1.0 - a
    region += a * shade


def render():
    canvas = np.full((H * S, W * S, 3), BG, dtype=np.float64)
    draw_plate(canvas)
    # Two arms: the first from top-left, the second from top-right.
    brush_stroke(canvas, (200, 88), (1208, 636), seed=1977, press=1.0)
    brush_stroke(canvas, (1206, 90), (198, 642), seed=2024, press=0.92)
    small = canvas.reshape(H, S, W, S, 3).mean(axis=(1, 3))
    return np.clip(np.rint(small), 0, 255).astype(np.uint8)


def main():
    write_picture(render(), "title")


if __name__ == "__main__":
    main()
