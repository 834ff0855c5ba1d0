#!/usr/bin/python3
"""Title card: a white 'OpenGL' plate crossed out with a red painted X.
The plate is an enamelled sign: a sheen across it, a bevelled edge, an
engraved line inside it and four screws, the mark printed on it in shaded
ink. The paint has a body: thick where the brush landed, thinner where it
eased off over the plate (so the mark reads past it), bristle furrows, wet
glints, ragged broken edges and dry streaks at the end; it sits on the
plate, casting a soft shadow, with drips where it ran and spatter where the
brush landed.

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


def noise2(rng, nu, nv, u, v):
    """2-D value noise in [-1, 1] over u, v in [0, 1]: nu x nv random knots
    joined by smoothstep curves."""
    knots = rng.uniform(-1.0, 1.0, (nv + 2, nu + 2))
    x, y = np.clip(u, 0.0, 1.0) * nu, np.clip(v, 0.0, 1.0) * nv
    i, j = np.minimum(x.astype(int), nu), np.minimum(y.astype(int), nv)
    fx, fy = x - i, y - j
    fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
    top = knots[j, i] * (1 - fx) + knots[j, i + 1] * fx
    bottom = knots[j + 1, i] * (1 - fx) + knots[j + 1, i + 1] * fx
    return top * (1 - fy) + bottom * fy


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


def plate_finish(pw, ph, seed=4711):
    """The enamel: white, a sheen that dims towards the lower right and a
    faint grain along the rows (the lit upper left stays pure white), a
    bevel 4 px wide whose lower and right sides are in shade, an engraved
    line 8 px inside the edge, and four screws. The outermost pixel stays
    white all round. Returns the plate at canvas scale."""
    rng = np.random.default_rng(seed)
    yy, xx = np.mgrid[0:ph, 0:pw].astype(np.float64) + 0.5
    u, v = xx / pw, yy / ph
    sheen = np.clip((u + v - 1.05) / 0.95, 0.0, 1.0) * 14.0
    grain = np.repeat(smooth_noise(rng, ph // 3, ph)[:, None], pw, axis=1)
    grain += 0.5 * smooth_noise(rng, 90, pw)[None, :]
    plate = 255.0 - sheen * (0.6 + 0.4 * np.clip(grain, -1, 1))
    plate = np.where(sheen > 0, plate, 255.0)
    # Bevel: distance in from each edge, in picture pixels.
    left, top = xx / S, yy / S
    right, bottom = (pw - xx) / S, (ph - yy) / S
    bevel = 4.0
    shade = np.zeros_like(plate)
    shade = np.maximum(shade, np.clip(1.0 - (bottom - 1.0) / bevel, 0, 1) * (bottom < np.minimum(left, right) + 1) * 60.0)
    shade = np.maximum(shade, np.clip(1.0 - (right - 1.0) / bevel, 0, 1) * (right < np.minimum(top, bottom) + 1) * 42.0)
    plate -= shade * (np.minimum.reduce([left, top, right, bottom]) >= 1.0)
    # Engraved line: a shaded 1 px groove with a lit pixel beside it.
    inner = np.minimum.reduce([left, top, right, bottom])
    groove = np.clip(1.0 - np.abs(inner - 8.5), 0.0, 1.0)
    lit = np.clip(1.0 - np.abs(inner - 9.5), 0.0, 1.0)
    plate = plate - 58.0 * groove + (255.0 - plate) * lit
    # Screws in the corners: a domed head with a slot, and its shadow.
    for sx, sy in ((16, 16), (pw / S - 16, 16), (16, ph / S - 16), (pw / S - 16, ph / S - 16)):
        dx, dy = left - sx, top - sy
        r = np.hypot(dx, dy)
        head = np.clip(5.5 - r, 0.0, 1.0)
        shadow = np.clip(6.5 - np.hypot(dx - 1.2, dy - 1.5), 0.0, 1.0) * (1 - head)
        dome = 150.0 + 70.0 * np.clip(1.0 - np.hypot(dx + 1.5, dy + 1.5) / 5.0, 0, 1)
        slot = np.clip(1.2 - np.abs(dx * 0.8 - dy * 0.6), 0.0, 1.0) * (r < 4.5)
        screw = dome - 90.0 * slot
        plate = plate * (1 - 0.35 * shadow)
        plate = plate * (1 - head) + screw * head
    plate = np.where(inner < 1.0, 255.0, plate)  # the edge itself stays white
    return np.clip(plate, 0.0, 255.0)


def draw_plate(canvas):
    x0, y0, x1, y1 = (v * S for v in PLATE)
    x1 += S
    y1 += S
    pw, ph = x1 - x0, y1 - y0
    canvas[y0:y1, x0:x1] = plate_finish(pw, ph)[..., None]
    cx, cy = x0 + pw / 2.0, y0 + ph / 2.0

    yy, xx = np.mgrid[y0:y1, x0:x1].astype(np.float64) + 0.5
    ring = swoosh_coverage(xx, yy, cx, cy + 4 * S, pw * 0.45, ph * 0.40, -0.12)

    font_path = FONT_PATH
    if not os.path.exists(font_path):
        sys.exit(f"make_title: {font_path} is missing; install the Debian package"
                 f" {FONT_PACKAGE} (bash tools/setup-deps.sh all)")
    text = "OpenGL"
    # Size the word to fill about four fifths of the plate's width.
    probe = ImageFont.truetype(font_path, 100)
    pl, _, pr, _ = probe.getbbox(text)
    font = ImageFont.truetype(font_path, int(100 * 0.8 * pw / (pr - pl)))
    mask = Image.new("L", (pw, ph), 0)
    d = ImageDraw.Draw(mask)
    l, t, r, b = d.textbbox((0, 0), text, font=font)
    d.text(((pw - (r - l)) / 2.0 - l, (ph - (b - t)) / 2.0 - t - 8 * S), text,
           font=font, fill=255)
    # The printed mark: swoosh and word in blue-grey ink, lighter at the
    # top, with a faint shadow under it where it stands proud of the enamel.
    mark = np.maximum(ring, np.asarray(mask, dtype=np.float64) / 255.0)
    shadow = np.zeros_like(mark)
    shadow[2 * S:, 2 * S:] = mark[:-2 * S, :-2 * S]
    blend(canvas[y0:y1, x0:x1], 0.22 * shadow * (1 - mark), np.array([120.0, 120.0, 120.0]))
    ink = INK + (yy[..., None] - cy) / ph * np.array([-40.0, -40.0, -40.0])
    region = canvas[y0:y1, x0:x1]
    region *= 1.0 - mark[..., None]
    region += mark[..., None] * ink


def antialiased(field):
    """Coverage of the region where `field` > 0, one canvas pixel wide at its
    edge whatever the slope of the field: the edge of a streak that runs at
    a slant is shaded, not stepped."""
    gy, gx = np.gradient(field)
    return np.clip(0.5 + field / (np.hypot(gx, gy) + 1e-6), 0.0, 1.0)


def brush_stroke(canvas, p0, p1, seed, press=1.0, alpha=None, bow=8.0):
    """Paint one arm of the X: a loaded brush that lands with a blunt blob,
    eases off as it crosses the plate (thinner, the paint thinner too) and
    bears down again, then runs dry into bristle streaks. The paint has a
    body: bristle furrows and ridges along the stroke, a wet shine on its
    crests where the light from the upper left catches them, thin places
    where what is under it shows through, and broken, ragged edges."""
    rng = np.random.default_rng(seed)
    p0 = np.array(p0, dtype=np.float64) * S
    p1 = np.array(p1, dtype=np.float64) * S
    d = p1 - p0
    length = np.hypot(*d)
    u = d / length
    n = np.array([-u[1], u[0]])
    half = 36.0 * S * press

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
    wobble = sample(smooth_noise(rng, 5, samples), t) * 7.0 * S
    swell = 1.0 + 0.12 * sample(smooth_noise(rng, 9, samples), t)
    edge_l = (sample(smooth_noise(rng, 140, samples), t) * 3.5
              + sample(smooth_noise(rng, 600, samples), t) * 1.8) * S * 0.6
    edge_r = (sample(smooth_noise(rng, 140, samples), t) * 3.5
              + sample(smooth_noise(rng, 600, samples), t) * 1.8) * S * 0.6

    # Width along the stroke: a round cap where the brush touched down,
    # lighter pressure across the middle, bearing down again, then a long
    # taper as it lifts off.
    cap = np.clip(t * length / half, 0.0, 1.0)
    start = np.sqrt(np.clip(1.0 - (1.0 - cap) ** 2, 0.0, 1.0))
    end = np.clip((1.0 - t) / 0.35, 0.0, 1.0) ** 0.6
    ease = 1.0 - 0.4 * np.exp(-((t - 0.5) / 0.13) ** 2)
    hw = half * swell * start * ease * (0.55 + 0.45 * end)
    # A hand never draws quite straight: gentle bow plus wobble.
    sc = s - wobble - np.sin(np.pi * np.clip(t, 0, 1)) * bow * S

    # Ragged sides, extra ragged where the brush is running dry; the edge
    # breaks into gaps here and there.
    dry = np.clip((t - 0.55) / 0.45, 0.0, 1.0)
    rag = 1.0 + 0.8 * dry
    dist_side = np.where(sc < 0, hw + edge_l * rag + sc, hw + edge_r * rag - sc)
    dist = np.where((t >= 0.0) & (t <= 1.04), dist_side, -1e9)  # the last hairs stop short of the frame

    # Bristles: the lateral position across the brush picks a bristle;
    # each carries its own load, varying a little along the stroke.
    v = np.clip(sc / np.maximum(hw, 1.0), -1.2, 1.2)
    bristles = smooth_noise(rng, 40, 2048)
    drift = 0.01 * sample(smooth_noise(rng, 20, samples), t)
    b = np.interp(v + drift, np.linspace(-1.2, 1.2, len(bristles)), bristles)
    hairs = np.interp(v + drift, np.linspace(-1.2, 1.2, 4096), smooth_noise(rng, 260, 4096))
    load = b + 0.35 * hairs * sample(smooth_noise(rng, 60, samples), t)
    # Towards the end each bristle runs dry at its own point: the paint
    # level it needs rises along the stroke past the best-loaded bristle,
    # so the streaks narrow to points and stop before the brush lifts.
    # Across the middle, where the brush eases off, the thinner bristles
    # skip: short dry furrows through to the plate, each starting and
    # stopping on its own.
    streak_len = sample(smooth_noise(rng, 24, samples), t)  # uneven run-out
    run = np.maximum((t - 0.55) / 0.45, 0.0)  # like `dry`, but goes on past the end
    thin = np.exp(-((t - 0.5) / 0.15) ** 2)
    skips = noise2(rng, 90, 50, (v + 1.2) / 2.4, t)
    threshold = (-1.0 + 1.8 * run ** 2 + 0.15 * dry * streak_len
                 + thin * 1.1 * np.clip(skips - 0.2, 0.0, 1.0))
    paint = antialiased(load - threshold)
    # A couple of thin dry lines that run through most of the stroke.
    fine = smooth_noise(rng, 45, 2048)
    fb = np.interp(v, np.linspace(-1.2, 1.2, len(fine)), fine)
    broken = np.clip(noise2(rng, 12, 40, (v + 1.2) / 2.4, t) * 3.0, 0.0, 1.0)
    paint *= 1.0 - antialiased(fb - 0.93) * np.clip((t - 0.18) / 0.1, 0.0, 1.0) * broken
    # Where a bristle only just carries paint, the paint is thin: what is
    # under it shows through.
    body = np.clip((load - threshold) / 0.5, 0.0, 1.0)
    opacity = 1.0 - 0.45 * (1.0 - body) * thin

    # The paint's body: rounded across the stroke and thickest where the
    # brush landed; it shines wet on the side facing the light (up and
    # left), in broken glints along the loaded bristles, less as it dries;
    # the furrows between bristles are a little darker.
    toward = np.sign(n[0] * -0.7 + n[1] * -0.7)     # the side of the stroke the light comes from
    side = v * toward
    glints = noise2(rng, 40, 90, (v + 1.2) / 2.4, t)
    wet = np.clip(1.1 - t, 0.25, 1.0) * (1.0 + 0.8 * np.exp(-(t * length / (2.0 * half)) ** 2))
    band = np.exp(-((side - 0.5) / 0.16) ** 2) + 0.6 * np.exp(-((side - 0.12) / 0.07) ** 2)
    shine = np.clip(band * wet * np.clip(glints * 2.0 - 0.2, 0, 1) * np.clip(b + 0.3, 0, 1) * body, 0, 0.75)
    tone = 0.98 + 0.04 * np.clip(load, -1.0, 1.0) - 0.05 * np.clip(-side, 0.0, 1.0)

    cov = np.clip(dist + 0.5, 0.0, 1.0) * paint
    # the paint's body shows in its red; green and blue stay the pigment's
    # but where it shines
    shade = np.empty(tone.shape + (3,))
    shade[..., 0] = PAINT[0] * tone
    shade[..., 1:] = PAINT[1:]
    shade = shade + (255.0 - shade) * shine[..., None]
    a = (cov * opacity)[..., None]
    region = canvas[by0:by1, bx0:bx1]
    region *= 1.0 - a
    region += a * shade
    if alpha is not None:
        alpha[by0:by1, bx0:bx1] += cov * (1.0 - alpha[by0:by1, bx0:bx1])


def paint_blob(canvas, alpha, field):
    """Plain paint wherever `field` > 0 (a distance in canvas pixels, so
    the edge is anti-aliased over one), over what is there."""
    cov = np.clip(field + 0.5, 0.0, 1.0)
    canvas *= 1.0 - cov[..., None]
    canvas += cov[..., None] * PAINT
    alpha += cov * (1.0 - alpha)


def drips_and_spatter(canvas, alpha, seed=1492):
    """Paint that ran: from the lower edge of the strokes, where they cross
    the plate and beyond it, drips hang down, narrowing and ending in a
    bead; spatter around where the brush first hit the picture."""
    rng = np.random.default_rng(seed)
    yy, xx = np.mgrid[0:H * S, 0:W * S].astype(np.float64) + 0.5
    for x, length, width in ((528, 34, 7.0), (586, 18, 5.5), (762, 40, 7.5), (812, 22, 6.0),
                             (470, 16, 6.0), (880, 26, 6.5)):
        col = alpha[:, x * S]
        painted = np.nonzero(col > 0.6)[0]
        painted = painted[painted < 600 * S]
        if len(painted) == 0:
            continue
        # the lowest painted run in this column: the drip leaves its edge
        top = painted[np.nonzero(np.diff(painted) > 1)[0][-1] + 1] if np.any(np.diff(painted) > 1) else painted[0]
        y0 = painted[painted >= top].max() / S - 2.0
        y1 = y0 + length
        t = np.clip((yy / S - y0) / (y1 - y0), 0.0, 1.0)
        wob = 1.2 * np.sin(yy / S * 0.11 + x)
        half = width * (1.0 - 0.35 * t) / 2.0
        body = np.where((yy / S >= y0) & (yy / S <= y1), half - np.abs(xx / S - x - wob), -1e3)
        bead = width * 0.75 - np.hypot(xx / S - x - wob, yy / S - y1)
        paint_blob(canvas, alpha, np.maximum(body, bead) * S)
    for cx, cy in ((214, 96), (1190, 98)):
        for _ in range(10):
            ang = rng.uniform(0, 2 * np.pi)
            dist = rng.uniform(36, 70)
            px, py = cx + np.cos(ang) * dist, cy + np.sin(ang) * dist * 0.7
            if py < 56 or not 160 < px < 1175:
                continue
            r = rng.uniform(1.5, 3.4)
            paint_blob(canvas, alpha, (r - np.hypot(xx / S - px, yy / S - py)) * S)


def paint_shadow(canvas, alpha):
    """The paint stands on the enamel: a soft shadow 3 px to the lower right
    of it, on the plate only."""
    x0, y0, x1, y1 = (v * S for v in PLATE)
    x1 += S
    y1 += S
    a = alpha[y0:y1, x0:x1]
    sh = np.zeros_like(a)
    dy, dx = 3 * S, 3 * S
    sh[dy:, dx:] = a[:-dy, :-dx]
    k = np.ones(7) / 7.0
    sh = np.apply_along_axis(lambda r: np.convolve(r, k, "same"), 1, sh)
    sh = np.apply_along_axis(lambda c: np.convolve(c, k, "same"), 0, sh)
    sh[:S], sh[-S:], sh[:, :S], sh[:, -S:] = 0, 0, 0, 0  # the plate's edge stays white
    region = canvas[y0:y1, x0:x1]
    region *= (1.0 - 0.3 * sh * (1.0 - a))[..., None]


def render():
    canvas = np.full((H * S, W * S, 3), BG, dtype=np.float64)
    alpha = np.zeros((H * S, W * S))
    draw_plate(canvas)
    # Two arms: the first from top-left, the second from top-right, each
    # bowing a little as a swung arm does (the second over the lettering's
    # end, which is left to read).
    brush_stroke(canvas, (200, 88), (1208, 636), seed=1977, press=1.0, alpha=alpha, bow=8.0)
    brush_stroke(canvas, (1206, 90), (198, 642), seed=2024, press=0.92, alpha=alpha, bow=18.0)
    drips_and_spatter(canvas, alpha)
    paint_shadow(canvas, alpha)
    small = canvas.reshape(H, S, W, S, 3).mean(axis=(1, 3))
    return np.clip(np.rint(small), 0, 255).astype(np.uint8)


def main():
    write_picture(render(), "title")


if __name__ == "__main__":
    main()
