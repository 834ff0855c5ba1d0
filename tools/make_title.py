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
and docs/title.png as a preview. Rendered at 3x and box-filtered down, so flat
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

S = 3  # supersampling factor
BG = 3.0
PLATE = (440, 248, 839, 471)  # inclusive pixel bounds of the white plate
INK = np.array([92.0, 110.0, 134.0])  # blue-grey lettering (R, G, B)
PAINT = np.array([237.0, 20.0, 20.0])  # red brush paint (R, G, B)

FRAME = (6.0, 16.0)  # the enamel border band, from/to this far inside the edge (px)
BAND = np.array([40.0, 58.0, 92.0])  # its navy enamel (R, G, B)
RUST = np.array([112.0, 62.0, 38.0])  # iron where the enamel chipped
IRON = np.array([46.0, 42.0, 44.0])
# Chips knocked out of the enamel where signs wear: round the screws
# (where a screwdriver slipped and the sheet flexed), at the corners and
# along the edges, those on an edge drawn out along it. A few large flakes
# rather than many small ones: small round chips in a row read as rivets.
# Centre (px), size (px), stretch along x and y, seed.
CHIPS = ((457, 263, 11.0, 1.0, 1.0, 1), (458, 457, 12.0, 1.1, 1.0, 3), (827, 461, 9.0, 1.0, 1.0, 4),
         (442, 333, 8.5, 1.0, 2.0, 14), (443, 419, 5.5, 1.0, 1.5, 15), (838, 362, 7.5, 1.0, 1.9, 16),
         (566, 250, 7.0, 2.1, 1.0, 7), (712, 251, 9.0, 1.7, 1.0, 8), (652, 470, 8.0, 2.2, 1.0, 11),
         (748, 469, 5.0, 1.6, 1.0, 12))
GROUND = np.array([58.0, 60.0, 70.0])  # the dark ground coat under the white enamel


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


def lobed(rng, theta, waves):
    """An uneven outline round a centre: for each (k, low, high) a wave of k
    lobes with a random depth between low and high and a random phase, as a
    fraction of the radius at angle theta."""
    return sum(rng.uniform(lo, hi) * np.cos(k * theta + rng.uniform(0, 2 * np.pi)) for k, lo, hi in waves)


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
    """The enamelled sign, at canvas scale, as RGB: a white field with a
    slightly warm glaze, pressed slightly domed and lit from the upper left
    (a broad glare there, the field dimming towards the lower right, a
    window's reflection across it) and rippled like fired enamel;
    a rolled lip whose lower and right sides are in shade; a navy border
    band with its own bevel and a pinstripe inside it; a screw in each
    corner; a few large chips knocked out near the edges, showing the
    ground coat, iron and rust, with rust run down under them, and
    grime gathered along the bottom. The outermost pixel stays white all
    round, so the plate's bounds stay exact."""
    rng = np.random.default_rng(seed)
    yy, xx = np.mgrid[0:ph, 0:pw].astype(np.float64) + 0.5
    u, v = xx / pw, yy / ph
    left, top = xx / S, yy / S
    right, bottom = (pw - xx) / S, (ph - yy) / S
    inner = np.minimum.reduce([left, top, right, bottom])
    # Light: a glare across the upper left, falling off to the lower right.
    glare = np.exp(-((u * 0.9 + v * 0.5 - 0.28) / 0.22) ** 2)
    # The sheet is pressed very slightly domed: it turns away from the
    # light towards its lower right, and a window's reflection lies across
    # it as a soft band.
    window = np.exp(-((u * 0.62 - v + 0.18) / 0.06) ** 2) * np.clip(1.2 - u, 0.0, 1.0)
    light = (1.0 - 0.09 * np.clip(u * 0.9 + v * 0.7 - 0.35, 0.0, 1.3) ** 1.3 + 0.05 * glare
             + 0.045 * window)
    ripple = noise2(rng, 60, 34, u, v) + 0.5 * noise2(rng, 160, 90, u, v)
    grime = np.clip(1.0 - bottom / 30.0, 0.0, 1.0) ** 2 * (0.6 + 0.4 * noise2(rng, 40, 4, u, v))
    field = np.array([249.0, 247.0, 242.0])[None, None, :] * (light + 0.008 * ripple)[..., None]
    field -= (grime * 16.0)[..., None] * np.array([0.8, 1.0, 1.3])
    plate = field.copy()
    # Border band: navy enamel, its outer edge catching the light on the
    # top and left and its inner edge on the bottom and right.
    f0, f1 = FRAME
    band = np.clip(inner - f0 + 0.5, 0, 1) * np.clip(f1 - inner + 0.5, 0, 1)
    band_col = BAND[None, None, :] * (0.9 + 0.25 * glare + 0.03 * ripple)[..., None]
    plate = plate * (1 - band[..., None]) + band_col * band[..., None]
    upper_left = (np.minimum(left, top) <= np.minimum(right, bottom))
    edge_out = np.clip(1.0 - np.abs(inner - f0 - 0.5), 0, 1)
    edge_in = np.clip(1.0 - np.abs(inner - f1 + 0.5), 0, 1)
    lit = edge_out * upper_left + edge_in * ~upper_left
    dark = edge_out * ~upper_left + edge_in * upper_left
    plate += (lit * 70.0)[..., None] * np.array([1.0, 1.0, 1.1])
    plate *= (1.0 - 0.45 * dark)[..., None]
    # A pinstripe inside the band.
    stripe = np.clip(1.0 - np.abs(inner - 20.0) / 0.75, 0, 1)
    plate = plate * (1 - stripe[..., None]) + BAND * 1.2 * stripe[..., None]
    # The rolled lip, 1-5 px in: lit on the upper left, shaded lower right.
    lip = np.clip(inner - 1.0, 0, 1) * np.clip(f0 - inner, 0, 1)
    roll = np.sin(np.clip((inner - 1.0) / (f0 - 1.0), 0, 1) * np.pi)
    lip_shade = np.where(upper_left, 0.0, 70.0 * roll) * np.where(bottom <= right, 1.0, 0.75)
    plate -= (lip * lip_shade)[..., None]
    # Chips: flakes broken out of the enamel, angular as glass breaks,
    # down through the dark ground coat (a rim of it shows) to the iron,
    # rusted where it has lain open longest; the broken edge lit on the
    # side facing the light and shaded on the other, and a rust stain run
    # down the enamel under it.
    for cx, cy, rad, sx, sy, s in CHIPS:
        cr = np.random.default_rng(seed + s)
        dx, dy = (left - (cx - 440)) / sx, (top - (cy - 248)) / sy
        r = np.hypot(dx, dy)
        ang = np.mod(np.arctan2(dy, dx), 2 * np.pi)
        n = int(cr.integers(5, 9))
        corners = np.sort(np.mod(np.arange(n) * 2 * np.pi / n + cr.uniform(-0.35, 0.35, n), 2 * np.pi))
        radii = rad * cr.uniform(0.5, 1.15, n)
        bound = np.interp(ang, np.concatenate([corners - 2 * np.pi, corners, corners + 2 * np.pi]),
                          np.tile(radii, 3))
        bound = bound * (1.0 + 0.05 * np.cos(13 * ang + cr.uniform(0, 6.3)))
        d = bound - r
        keep = np.clip(inner - 1.0, 0, 1)
        hole = np.clip(d * S + 0.5, 0, 1) * keep
        ground = 1.0 + 0.15 * rad * (1.0 + 0.6 * noise2(cr, 6, 6, u, v))  # the ground coat's ledge
        core = np.clip((d - ground) * S + 0.5, 0, 1) * keep
        rust = np.clip(0.45 + 0.6 * noise2(cr, 70, 40, u, v) + 0.3 * noise2(cr, 200, 112, u, v)
                       + 0.4 * (d / rad), 0, 1)[..., None]
        metal = IRON + (RUST - IRON) * rust
        inside = GROUND * (1 - core[..., None]) + metal * core[..., None]
        rim = np.clip(1.0 - np.abs(d + 0.7) / 0.7, 0, 1) * keep * (1 - hole)
        facing = (dx + dy) / (r + 1e-6) / np.sqrt(2.0)  # + where the edge faces the light
        plate *= (1.0 - 0.4 * rim * np.clip(-facing, 0, 1))[..., None]
        plate += (rim * 60.0 * np.clip(facing, 0, 1))[..., None]
        down = np.clip(dy * sy / (4.0 * rad + 16.0), 0, 1)
        stain = (np.exp(-((dx - 0.25 * rad * noise2(cr, 3, 8, u, v)) / (0.35 * rad)) ** 2)
                 * (dy > 0) * (1 - down) ** 1.2 * (1 - hole) * keep * 0.42)
        plate = plate * (1 - stain[..., None]) + (RUST * 1.3) * stain[..., None]
        plate = plate * (1 - hole[..., None]) + inside * hole[..., None]
    # Screws in the corners, on the band: domed heads with a slot, a
    # shadow to the lower right.
    c = (f0 + f1) / 2.0
    for sx, sy in ((c, c), (pw / S - c, c), (c, ph / S - c), (pw / S - c, ph / S - c)):
        dx, dy = left - sx, top - sy
        r = np.hypot(dx, dy)
        head = np.clip(4.6 - r, 0.0, 1.0)
        shadow = np.clip(5.4 - np.hypot(dx - 1.2, dy - 1.5), 0.0, 1.0) * (1 - head)
        dome = 140.0 + 100.0 * np.clip(1.0 - np.hypot(dx + 1.4, dy + 1.4) / 4.6, 0, 1)
        slot = np.clip(1.1 - np.abs(dx * 0.8 - dy * 0.6), 0.0, 1.0) * (r < 3.8)
        screw = (dome - 90.0 * slot)[..., None] * np.array([1.0, 0.98, 0.94])
        plate *= (1 - 0.45 * shadow)[..., None]
        plate = plate * (1 - head[..., None]) + screw * head[..., None]
    plate = np.where((inner < 1.0)[..., None], 255.0, plate)  # the edge itself stays white
    return np.clip(plate, 0.0, 255.0)


def draw_plate(canvas):
    x0, y0, x1, y1 = (v * S for v in PLATE)
    x1 += S
    y1 += S
    pw, ph = x1 - x0, y1 - y0
    canvas[y0:y1, x0:x1] = plate_finish(pw, ph)
    cx, cy = x0 + pw / 2.0, y0 + ph / 2.0

    yy, xx = np.mgrid[y0:y1, x0:x1].astype(np.float64) + 0.5
    ring = swoosh_coverage(xx, yy, cx, cy + 3 * S, pw * 0.435, ph * 0.385, -0.12)

    font_path = FONT_PATH
    if not os.path.exists(font_path):
        sys.exit(f"make_title: {font_path} is missing; install the Debian package"
                 f" {FONT_PACKAGE} (bash tools/setup-deps.sh all)")
    text = "OpenGL"
    # Size the word to fill about five sixths of the plate's width.
    probe = ImageFont.truetype(font_path, 100)
    pl, _, pr, _ = probe.getbbox(text)
    font = ImageFont.truetype(font_path, int(100 * 0.87 * pw / (pr - pl)))
    mask = Image.new("L", (pw, ph), 0)
    d = ImageDraw.Draw(mask)
    l, t, r, b = d.textbbox((0, 0), text, font=font)
    d.text(((pw - (r - l)) / 2.0 - l, (ph - (b - t)) / 2.0 - t - 8 * S), text,
           font=font, fill=255, stroke_width=S, stroke_fill=255)
    # The printed mark: swoosh and word in blue-grey ink, lighter at the
    # top, with a faint shadow under it where it stands proud of the enamel.
    mark = np.maximum(ring, np.asarray(mask, dtype=np.float64) / 255.0)
    shadow = np.zeros_like(mark)
    shadow[2 * S:, 2 * S:] = mark[:-2 * S, :-2 * S]
    blend(canvas[y0:y1, x0:x1], 0.22 * shadow * (1 - mark), np.array([120.0, 120.0, 120.0]))
    ink = INK + (yy[..., None] - cy) / ph * np.array([-40.0, -40.0, -40.0])
    # The ink lies thick enough to have an edge: lit where it faces the
    # light (upper left), darker on its lower right.
    d = S
    up_left = np.zeros_like(mark)
    up_left[d:, d:] = mark[:-d, :-d]
    down_right = np.zeros_like(mark)
    down_right[:-d, :-d] = mark[d:, d:]
    ink = ink + (np.clip(mark - up_left, 0, 1) * 45.0)[..., None]
    ink = ink - (np.clip(mark - down_right, 0, 1) * 30.0)[..., None]
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
              + sample(smooth_noise(rng, 600, samples), t) * 0.8) * S * 0.6
    edge_r = (sample(smooth_noise(rng, 140, samples), t) * 3.5
              + sample(smooth_noise(rng, 600, samples), t) * 0.8) * S * 0.6

    # Width along the stroke: a round cap where the brush touched down,
    # lighter pressure across the middle, bearing down again, then a long
    # taper as it lifts off.
    cap = np.clip(t * length / (1.25 * half), 0.0, 1.0)
    start = np.clip(1.0 - (1.0 - cap) ** 2, 0.0, 1.0) ** 0.5
    end = np.clip((1.0 - t) / 0.38, 0.0, 1.0) ** 0.65
    ease = 1.0 - 0.62 * np.exp(-((t - 0.5) / 0.11) ** 2)
    hw = half * swell * start * ease * (0.5 + 0.5 * end)
    # A hand never draws quite straight: gentle bow plus wobble.
    sc = s - wobble - np.sin(np.pi * np.clip(t, 0, 1)) * bow * S

    # Ragged sides, extra ragged where the brush is running dry; the edge
    # breaks into gaps here and there.
    dry = np.clip((t - 0.55) / 0.45, 0.0, 1.0)
    rag = 1.0 + 0.8 * dry
    dist_side = np.where(sc < 0, hw + edge_l * rag + sc, hw + edge_r * rag - sc)
    dist = np.where((t >= 0.0) & (t <= 1.04), dist_side, -1e9)  # the last hairs stop short of the frame
    # Where it landed the loaded brush left a blob, not a rounded end: paint
    # squeezed out round the hairs in uneven lobes, its edge ragged.
    own = np.random.default_rng((seed, 7))  # the blob's own draws, so the stroke's stay as they were
    along = t * length - 0.95 * half
    theta = np.arctan2(sc, along)
    lobes = lobed(own, theta, ((k, 0.03 / k ** 0.3, 0.1 / k ** 0.3) for k in (3, 4, 6, 9)))
    frill = np.interp(np.mod(theta, 2 * np.pi), np.linspace(0, 2 * np.pi, 720), smooth_noise(own, 90, 720))
    blob_r = half * 1.1 * (1.0 + lobes) + frill * 1.6 * S
    # ahead of its middle the blob merges into the stroke's own sides
    blob = blob_r - np.hypot(along, sc) - 1.5 * np.maximum(along, 0.0)
    dist = np.maximum(dist, blob)
    pool = np.clip(blob / (0.5 * half) + 0.3, 0.0, 1.0)  # how deep the paint lies in the blob

    # Bristles: the lateral position across the brush picks a bristle;
    # each carries its own load, varying a little along the stroke.
    v = np.clip(sc / np.maximum(hw, 1.0), -1.2, 1.2)
    bristles = smooth_noise(rng, 40, 2048)
    drift = 0.01 * sample(smooth_noise(rng, 20, samples), t)
    # The hairs never keep an even spacing: their tracks converge and
    # part along the stroke.
    drift = drift + 0.07 * noise2(own, 6, 16, (v + 1.2) / 2.4, t)
    # Running dry, the hairs splay and wander: each track drifts sideways
    # on its own.
    drift = drift + noise2(rng, 7, 9, (v + 1.2) / 2.4, t) * 0.5 * dry ** 0.8
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
    # Clumps of hairs carry more than single ones; each hair gives out at
    # its own point and skips here and there before it does.
    vd = v + drift
    clump = np.interp(vd, np.linspace(-1.2, 1.2, 2048), smooth_noise(rng, 16, 2048))
    load = load + dry * (0.35 * clump + 0.25 * np.interp(vd, np.linspace(-1.2, 1.2, 4096),
                                                        smooth_noise(rng, 90, 4096)))
    gives_out = np.interp(vd, np.linspace(-1.2, 1.2, 4096), smooth_noise(rng, 130, 4096))
    gaps = noise2(rng, 80, 36, (vd + 1.2) / 2.4, t)
    threshold = (-1.0 + 1.8 * run ** 2 + 0.15 * dry * streak_len
                 + 0.6 * dry ** 1.5 * gives_out
                 + 1.6 * dry ** 2 * np.clip(gaps - 0.2, 0.0, 1.0)
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
    # Thick paint is a deeper red: in the landing's pool and along the
    # best-loaded bristles; it lies in shade on the side away from the light.
    tone = (1.0 + 0.06 * np.clip(load, -1.0, 1.0) - 0.06 * np.clip(-side, 0.0, 1.0)
            - 0.11 * pool * (1.0 - np.clip(side, 0.0, 1.0))
            + 0.03 * noise2(own, 30, 3, t, (v + 1.2) / 2.4))

    cov = np.clip(dist + 0.5, 0.0, 1.0) * paint
    # the paint's body shows in its red; green and blue stay the pigment's
    # but where it shines
    shade = np.empty(tone.shape + (3,))
    shade[..., 0] = PAINT[0] * tone
    shade[..., 1:] = PAINT[1:]
    shade = shade + (255.0 - shade) * shine[..., None]
    a = (cov * opacity)[..., None]
    region = canvas[by0:by1, bx0:bx1]
    if alpha is not None:
        # Over an earlier stroke the paint is two coats, a deeper red, and
        # this stroke's edge stands on the coat beneath: a thin shadow along
        # its lower right and a wet ridge along its lit side.
        under = alpha[by0:by1, bx0:bx1]
        # brushed into the wet coat beneath, the second one skips less:
        # where it crosses, it lies whole on top
        cov = np.maximum(cov, np.clip(dist + 0.5, 0.0, 1.0) * under * np.clip(body * 2.0 + 0.6, 0.0, 1.0))
        shade[..., 0] *= 1.0 - 0.15 * under
        a = (cov * (opacity + (1.0 - opacity) * under))[..., None]  # paint hides paint
        cast = np.zeros_like(cov)
        for k, w in ((S, 0.3), (2 * S, 0.4), (3 * S, 0.3)):
            cast[k:, k:] += w * cov[:-k, :-k]
        region *= (1.0 - 0.35 * np.clip(cast - cov, 0.0, 1.0) * under)[..., None]
        lit = np.zeros_like(cov)
        lit[S:, S:] = cov[:-S, :-S]
        ridge = np.clip(cov - lit, 0.0, 1.0) * under
        shade = shade + (255.0 - shade) * (0.35 * ridge)[..., None]
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


# Drips: column (px), length (px), width (px), how much paint pools at the
# foot (0 = it runs out to a point). Paint runs only where there is
# something to run down: the enamel, below the lowest coat that leaves it
# room.
DRIPS = ((528, 46, 7.0, 0.5), (586, 15, 4.5, 0.0), (762, 40, 6.5, 0.9), (812, 18, 5.0, 0.2),
         (470, 11, 5.0, 0.0), (741, 8, 3.5, 0.0), (545, 21, 3.0, 0.3), (650, 26, 4.5, 0.4),
         (690, 12, 3.5, 0.0), (800, 30, 5.0, 0.6))
PLATE_FOOT = 466  # drips stop above the plate's lip (px)
# Where the brush landed and the strokes' ends, for the spatter: the landing
# point (px) and the stroke's direction.
LANDINGS = (((200, 88), (1208, 636)), ((1206, 90), (198, 642)))


def drips_and_spatter(canvas, alpha, seed=1492):
    """Paint that ran and flew: from the lower edge of the strokes where
    they cross the plate, drips run down the enamel, each its own length,
    wandering a little, narrowing to a point or gathering at the
    foot into an uneven sag; spatter is flung ahead of where the brush hit
    the picture and shed along both strokes, the drops stretched the way
    they flew, with a few specks past them."""
    rng = np.random.default_rng(seed)
    yy, xx = np.mgrid[0:H * S, 0:W * S].astype(np.float64) + 0.5
    X, Y = xx / S, yy / S
    for x, length, width, pool in DRIPS:
        drip_rng = np.random.default_rng((seed, x))  # each drip its own, so adding one moves no other paint
        col = alpha[PLATE[1] * S:PLATE_FOOT * S, x * S] > 0.6
        # the painted runs down this column of the enamel; the drip leaves
        # the lower edge of the lowest one with room below it to run
        edges = np.diff(np.concatenate([[0], col.astype(np.int8), [0]]))
        tops, bottoms = np.nonzero(edges == 1)[0], np.nonzero(edges == -1)[0]
        room = np.append(tops[1:], len(col)) - bottoms
        fits = np.nonzero(room >= (length + 6) * S)[0]
        if len(fits) == 0:
            continue
        y0 = PLATE[1] + bottoms[fits[-1]] / S - 2.0
        y1 = y0 + length
        # Only the drip's own box.
        bx0, bx1 = int((x - 3 * width) * S), int((x + 3 * width) * S)
        by0, by1 = int((y0 - 2) * S), int((y1 + 3 * width) * S)
        sx, sy = X[by0:by1, bx0:bx1], Y[by0:by1, bx0:bx1]
        t = np.clip((sy - y0) / (y1 - y0), 0.0, 1.0)
        centre = x + sample(smooth_noise(drip_rng, 3, 256), t) * width * 0.35 * t
        # It narrows as it runs, unevenly, and where paint gathers at the
        # foot it swells into a sag longer than it is wide, heavier on one
        # side.
        half = width / 2.0 * (1.0 - 0.7 * t ** 0.8) * (1.0 + 0.2 * sample(smooth_noise(drip_rng, 6, 256), t))
        lean = drip_rng.uniform(-0.4, 0.4) * width
        sag = pool * width * 0.45 * np.exp(-((t - 0.86) / 0.1) ** 2)
        half = half + sag * (1.0 + np.clip((sx - centre) * np.sign(lean) / width, -0.5, 0.5))
        tip = np.clip((1.0 - t) / 0.12, 0.0, 1.0) ** (0.5 if pool > 0 else 1.0)
        body = np.where(sy >= y0, half * tip - np.abs(sx - centre - lean * t ** 3), -1e3)
        body = np.where(sy <= y1, body, -1e3)
        paint_blob(canvas[by0:by1, bx0:bx1], alpha[by0:by1, bx0:bx1], body * S)

    def drop(px, py, r, ang, stretch):
        """One drop of spatter, stretched along the way it flew, its tail
        thinning behind it."""
        if not (45 < py < 690 and 150 < px < 1255):
            return
        ext = int(r * (stretch + 2) + 3)
        bx0, bx1 = int((px - ext) * S), int((px + ext) * S)
        by0, by1 = int((py - ext) * S), int((py + ext) * S)
        dx, dy = X[by0:by1, bx0:bx1] - px, Y[by0:by1, bx0:bx1] - py
        c, s_ = np.cos(ang), np.sin(ang)
        along, across = dx * c + dy * s_, -dx * s_ + dy * c
        # behind the head (along < 0) the drop thins into its tail
        stretch_here = np.where(along < 0, stretch, 1.0)
        field = r * (1.0 - np.clip(-along / (r * stretch + 1e-6), 0.0, 1.0) * 0.7) \
            - np.hypot(along / stretch_here, across)
        if r > 1.5:  # a big drop hits unevenly: its edge in lobes
            theta = np.arctan2(across, along)
            field += r * lobed(shape, theta, ((k, 0.04, 0.12) for k in (3, 5, 7)))
        paint_blob(canvas[by0:by1, bx0:bx1], alpha[by0:by1, bx0:bx1], field * S)

    shape = np.random.default_rng((seed, 1))  # the splats' own draws, so the drops above stay put
    for (lx, ly), (ex, ey) in LANDINGS:
        heading = np.arctan2(ey - ly, ex - lx)
        # A few heavy splats where the brush hit, each trailing small
        # satellites the way it flew, and long thin flicks.
        for _ in range(4):
            ang = heading + shape.choice((-1.0, 1.0)) * shape.uniform(0.7, 2.4)
            dist = 34.0 + shape.gamma(2.0, 10.0)
            r = shape.uniform(2.8, 4.8)
            px, py = lx + np.cos(ang) * dist, ly + np.sin(ang) * dist
            drop(px, py, r, ang, 1.3)
            for k in range(int(shape.integers(2, 5))):
                gap = r * (1.8 + 1.1 * k) + shape.uniform(0.0, 2.0)
                side = shape.normal(0.0, 0.12)
                drop(px + np.cos(ang + side) * gap, py + np.sin(ang + side) * gap,
                     shape.uniform(0.6, 1.3) * r / 3.5, ang, 1.5)
        for _ in range(3):
            ang = heading + shape.choice((-1.0, 1.0)) * shape.uniform(0.3, 1.2)
            dist = 60.0 + shape.gamma(2.0, 15.0)
            drop(lx + np.cos(ang) * dist, ly + np.sin(ang) * dist, shape.uniform(0.9, 1.4), ang,
                 shape.uniform(5.0, 8.0))
        # Flung ahead and to the sides of where the brush hit: many small
        # drops, a few big ones, stretched radially.
        for _ in range(40):
            ang = heading + rng.choice((-1.0, 1.0)) * rng.uniform(0.45, 2.7)
            dist = 38.0 + rng.gamma(2.0, 20.0)
            r = 0.7 + rng.gamma(1.5, 0.7)
            drop(lx + np.cos(ang) * dist, ly + np.sin(ang) * dist, min(r, 3.6), ang,
                 1.0 + min(dist / 25.0, 3.5) * rng.uniform(0.4, 1.0))
        # Shed along the stroke while the brush was loaded: drops off both
        # sides, fewer further along.
        n = np.array([-(ey - ly), ex - lx]) / np.hypot(ex - lx, ey - ly)
        for _ in range(64):
            t = rng.beta(1.3, 2.6) * 0.8
            off = rng.choice((-1.0, 1.0)) * (30.0 + rng.gamma(2.0, 9.0))
            px = lx + (ex - lx) * t + n[0] * off
            py = ly + (ey - ly) * t + n[1] * off
            r = 0.6 + rng.gamma(1.3, 0.55)
            drop(px, py, min(r, 2.8), heading + rng.normal(0.0, 0.25), 1.0 + rng.uniform(0.0, 1.5))


def box_blur(a, n):
    """Mean over an n x n box (n odd), the edges padded with their own
    values."""
    r = n // 2
    for axis in (0, 1):
        p = np.pad(a, [(r + 1, r) if k == axis else (0, 0) for k in (0, 1)], mode="edge")
        c = np.cumsum(p, axis=axis)
        a = (np.take(c, range(n, c.shape[axis]), axis=axis)
             - np.take(c, range(0, c.shape[axis] - n), axis=axis)) / n
    return a


def paint_on_sign(canvas, alpha):
    """The paint lies on the sign: on the enamel it casts a soft shadow to
    the lower right. Over the sign's edge and off it the paint stays one
    colour, as one coat over both (any tone step at the edge reads as a
    pane laid over the picture)."""
    x0, y0, x1, y1 = (v * S for v in PLATE)
    x1 += S
    y1 += S
    # the paint's own shadow on the enamel
    a = alpha[y0:y1, x0:x1]
    sh = np.zeros_like(a)
    off = 5 * S
    sh[off:, off:] = a[:-off, :-off]
    n = 2 * (5 * S // 2) + 1  # about 5 px, odd
    sh = box_blur(box_blur(sh, n), n)
    sh[:S], sh[-S:], sh[:, :S], sh[:, -S:] = 0, 0, 0, 0  # the plate's edge stays white
    region = canvas[y0:y1, x0:x1]
    region *= (1.0 - 0.5 * sh * (1.0 - a))[..., None]


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
    paint_on_sign(canvas, alpha)
    small = canvas.reshape(H, S, W, S, 3).mean(axis=(1, 3))
    return np.clip(np.rint(small), 0, 255).astype(np.uint8)


def main():
    write_picture(render(), "title")


if __name__ == "__main__":
    main()
