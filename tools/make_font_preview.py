#!/usr/bin/python3
"""Render assets/font.txt to docs/font.png for eyeballing the glyph art.

Top: every glyph in its 15x28 cell on a grid, with the ink band (rows 9-20)
marked. Below: sample lines the way the intro uses the font, red on black
and black on blue, at 1:1 cell spacing. Everything is scaled up 4x.
Run with /usr/bin/python3.
"""
import os
import sys

import numpy as np
from PIL import Image

from facts import GLYPH_H as GH, GLYPH_ORDER as ORDER, GLYPH_W as GW

SCALE = 4
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def load_font(path):
    """Parse the font text: `[X]` headers each followed by 28 rows of 15
    '#'/'.' characters; ';' comment lines and blank lines are skipped."""
    glyphs = {}
    current, rows = None, []
    with open(path, encoding="ascii") as fh:
        for n, raw in enumerate(fh, 1):
            line = raw.rstrip("\r\n")
            if current is None or len(rows) == GH:
                if not line or line.startswith(";"):
                    continue
                if len(line) != 3 or line[0] != "[" or line[2] != "]":
                    raise ValueError(f"{path}:{n}: expected a glyph header like [A]")
                current, rows = line[1], []
                if current in glyphs:
                    raise ValueError(f"{path}:{n}: glyph {current} defined twice")
                glyphs[current] = rows
                continue
            if len(line) != GW or set(line) - set("#."):
                raise ValueError(f"{path}:{n}: bad glyph row {line!r}")
            rows.append(line)
    for ch, rows in glyphs.items():
        if len(rows) != GH:
            raise ValueError(f"glyph {ch} has {len(rows)} rows, not {GH}")
    return {ch: np.array([[c == "#" for c in r] for r in rows]) for ch, rows in glyphs.items()}


def text_bitmap(font, text):
    out = np.zeros((GH, GW * len(text)), dtype=bool)
    for i, ch in enumerate(text):
        if ch in font:
            out[:, i * GW:(i + 1) * GW] = font[ch]
    return out


def main():
    font = load_font(os.path.join(ROOT, "assets", "font.txt"))
    missing = [c for c in ORDER if c not in font]
    if missing:
        sys.exit("missing glyphs: " + "".join(missing))

    cols = 10
    grid_rows = (len(ORDER) + cols - 1) // cols
    pad = 2
    lines = ["JUST GO WITH THE DRIVER DIRECTLY.", "TITLE IT TILT LIT UVW VIVID",
             "WHY? BECAUSE @ QUICK JAZZ", "BYE BYE!!"]
    width = max(cols * (GW + pad), max(len(s) for s in lines) * GW) + pad
    height = grid_rows * (GH + pad) + pad + len(lines) * 2 * GH
    img = np.zeros((height, width, 3), dtype=np.uint8)
    img[:] = (40, 40, 40)

    for k, ch in enumerate(ORDER):
        y = pad + (k // cols) * (GH + pad)
        x = pad + (k % cols) * (GW + pad)
        cell = img[y:y + GH, x:x + GW]
        cell[:] = (16, 16, 24)
        cell[9:21] = (28, 28, 44)  # the ink band
        cell[font[ch]] = (255, 255, 255)

    y = grid_rows * (GH + pad) + pad
    for i, s in enumerate(lines):
        bm = text_bitmap(font, s)
        for fg, bg in (((220, 20, 20), (0, 0, 0)), ((0, 0, 0), (80, 120, 255))):
            band = img[y:y + GH, 0:width]
            band[:] = bg
            band[:, :bm.shape[1]][bm] = fg
            y += GH

    Image.fromarray(img, "RGB").resize((width * SCALE, height * SCALE), Image.NEAREST).save(
        os.path.join(ROOT, "docs", "font.png"))


if __name__ == "__main__":
    main()
