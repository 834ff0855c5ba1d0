#!/usr/bin/python3
"""Application icons drawn from the logo picture: the lettering and its smoke,
cropped to the lettering, scaled to fit a square and centred, with the logo's
pure-black background made transparent (as the rotating logo treats it).

Writes assets/icon-256.png, assets/icon-48.png (freedesktop hicolor sizes) and
assets/icon.ico (the Windows executable's icon, 256/48/32/16). Run with
/usr/bin/python3 from anywhere.
"""
import os

import numpy as np
from PIL import Image

from facts import LOGO_H as H, LOGO_W as W

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def logo_rgba():
    raw = np.fromfile(os.path.join(ROOT, "assets", "logo.bgra"), dtype=np.uint8)
    if raw.size != W * H * 4:
        raise SystemExit("assets/logo.bgra: %d bytes, expected %d" % (raw.size, W * H * 4))
    bgra = raw.reshape(H, W, 4)
    rgba = np.empty_like(bgra)
    rgba[..., 0], rgba[..., 1], rgba[..., 2] = bgra[..., 2], bgra[..., 1], bgra[..., 0]
    rgba[..., 3] = np.where(bgra[..., :3].any(axis=2), 255, 0)
    # Crop to the lettering (the bright pixels) and a little of the smoke
    # around it: the smoke's long tails would shrink the letters to nothing.
    rows, cols = np.nonzero(bgra[..., :3].max(axis=2) > 160)
    m = 6
    box = (max(cols.min() - m, 0), max(rows.min() - m, 0), min(cols.max() + 1 + m, W), min(rows.max() + 1 + m, H))
    return Image.fromarray(rgba, "RGBA").crop(box)


def square_icon(art, size):
    # Scale with premultiplied colour so the transparent black does not darken
    # the edges of the artwork.
    scale = size / max(art.width, art.height)
    w, h = max(1, round(art.width * scale)), max(1, round(art.height * scale))
    small = art.convert("RGBa").resize((w, h), Image.LANCZOS).convert("RGBA")
    icon = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    icon.paste(small, ((size - w) // 2, (size - h) // 2))
    return icon


def main():
    art = logo_rgba()
    out = os.path.join(ROOT, "assets")
    for size in (256, 48):
        square_icon(art, size).save(os.path.join(out, "icon-%d.png" % size), optimize=True)
    big = square_icon(art, 256)
    big.save(os.path.join(out, "icon.ico"), sizes=[(256, 256), (48, 48), (32, 32), (16, 16)])


if __name__ == "__main__":
    main()
