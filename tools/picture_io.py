"""Writes a generated picture the way the build embeds it (raw BGRA, rows top
first, no header) together with a PNG preview."""
import os

import numpy as np
from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def write_picture(rgb, name, fourth=255):
    """rgb: H x W x 3 uint8; fourth: the fourth byte, one value or H x W.
    Writes assets/NAME.bgra and docs/NAME.png."""
    h, w, _ = rgb.shape
    bgra = np.empty((h, w, 4), dtype=np.uint8)
    bgra[..., 0] = rgb[..., 2]
    bgra[..., 1] = rgb[..., 1]
    bgra[..., 2] = rgb[..., 0]
    bgra[..., 3] = fourth
    os.makedirs(os.path.join(ROOT, "assets"), exist_ok=True)
    os.makedirs(os.path.join(ROOT, "docs"), exist_ok=True)
    with open(os.path.join(ROOT, "assets", name + ".bgra"), "wb") as fh:
        fh.write(bgra.tobytes())
    Image.fromarray(rgb, "RGB").save(os.path.join(ROOT, "docs", name + ".png"))
