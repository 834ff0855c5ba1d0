#!/usr/bin/python3
"""A sheet of the logo as the main scene shows it across a logo cycle,
drawn by tapehiss-capture: passes from the first (zoomed far in) through
about 1x (pass 13), 1/4 (52), 1/6 (85) and the smallest, 1/8 (157), to the
way back (400) and the second cycle (700, 1000).

Each tile is a 1:1 crop of 400 x 225 screen pixels around the logo (found by
its green, which the plasma's palette never has); where the logo is larger
than that but still on the screen, a 1:1 crop of its middle; where it runs
off the screen (the first passes), the whole screen at 1/4.
Writes docs/logo-passes.png. Usage: make_logo_sheet.py CAPTURE_TOOL
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
import math

PASSES = (3, 10, 13, 52, 60, 85, 157, 229, 250, 400, 700, 1000)
TILE_W, TILE_H, LABEL_H = 400, 225, 18
CYCLE, TURN = 534, 267  # passes in a logo cycle; the first backward one
SCROLLER_TOP = 692


def scale(n):
    """The logo's scale at pass n: the frame that pass shows (a backward
    pass at position f shows frame f - 1), 1 / (8 sin(frame / 100))."""
    c = n % CYCLE
    frame = c if c < TURN else CYCLE - 1 - c
    return abs(1.0 / (8.0 * math.sin(frame / 100.0))) if frame else math.inf


def tile(shot):
    rgb = np.asarray(shot)
    ys, xs = np.nonzero(rgb[:SCROLLER_TOP, :, 1] > 60)
    if len(xs) == 0 or xs.min() <= 2 or xs.max() >= shot.width - 3 or ys.min() <= 2:
        return shot.resize((shot.width // 4, shot.height // 4), Image.BOX).crop((0, 0, TILE_W, TILE_H)), \
            "whole screen at 1/4"
    cx, cy = (xs.min() + xs.max()) // 2, (ys.min() + ys.max()) // 2
    if xs.max() - xs.min() >= TILE_W or ys.max() - ys.min() >= TILE_H:
        how = "1:1, its middle"
    else:
        how = "1:1"
    x0 = int(np.clip(cx - TILE_W // 2, 0, shot.width - TILE_W))
    y0 = int(np.clip(cy - TILE_H // 2, 0, shot.height - TILE_H))
    return shot.crop((x0, y0, x0 + TILE_W, y0 + TILE_H)), how


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
            size = "%.2f" % scale(n) if scale(n) >= 1 else "1/%.1f" % (1 / scale(n))
            draw.text((x + 4, y + 3), "pass %d, scale %s, %s" % (n, size, how), fill=(230, 230, 230))
    sheet.save(os.path.join(ROOT, "docs", "logo-passes.png"))


if __name__ == "__main__":
    main()
