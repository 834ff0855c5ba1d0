#!/usr/bin/python3
"""A sheet of the logo as the main scene shows it across a logo cycle: the
passes 3, 10, 60, 157, 250, 400 and 700, drawn by tapehiss-capture.

Each tile is a 1:1 crop of 320 x 180 screen pixels around the logo (found by
its green, which the plasma's palette never has); where the logo is larger
than that (early passes, zoomed in) the whole screen is shown at 1/4.
Writes docs/logo-passes.png. Usage: make_logo_sheet.py CAPTURE_TOOL
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PASSES = (3, 10, 60, 157, 250, 400, 700)
TILE_W, TILE_H, LABEL_H = 320, 180, 18
SCROLLER_TOP = 692


def tile(shot):
    rgb = np.asarray(shot)
    ys, xs = np.nonzero(rgb[:SCROLLER_TOP, :, 1] > 60)
    if len(xs) == 0 or xs.max() - xs.min() >= TILE_W or ys.max() - ys.min() >= TILE_H:
        return shot.resize((TILE_W, TILE_H), Image.BOX), "whole screen at 1/4"
    cx, cy = (xs.min() + xs.max()) // 2, (ys.min() + ys.max()) // 2
    x0 = int(np.clip(cx - TILE_W // 2, 0, shot.width - TILE_W))
    y0 = int(np.clip(cy - TILE_H // 2, 0, shot.height - TILE_H))
    return shot.crop((x0, y0, x0 + TILE_W, y0 + TILE_H)), "1:1"


def main():
    capture = sys.argv[1]
    cols = 4
    rows = -(-len(PASSES) // cols)
    sheet = Image.new("RGB", (cols * TILE_W, rows * (TILE_H + LABEL_H)), (24, 24, 24))
    draw = ImageDraw.Draw(sheet)
    with tempfile.TemporaryDirectory() as tmp:
        for i, n in enumerate(PASSES):
            path = os.path.join(tmp, "pass.png")
            subprocess.run([capture, "--out", path, "main", str(n)], check=True)
            with Image.open(path) as shot:
                img, how = tile(shot.convert("RGB"))
            x, y = (i % cols) * TILE_W, (i // cols) * (TILE_H + LABEL_H)
            sheet.paste(img, (x, y + LABEL_H))
            draw.text((x + 4, y + 3), "pass %d, %s" % (n, how), fill=(230, 230, 230))
    sheet.save(os.path.join(ROOT, "docs", "logo-passes.png"))


if __name__ == "__main__":
    main()
