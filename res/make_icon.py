#!/usr/bin/env python3
"""Draws res/wemlox.ico, the program's icon: the W of the WLX button face on
the faces' dark background, as a rounded square. The installer shows it in
the Start menu and in the list of installed programs.

    /usr/bin/python3 res/make_icon.py     # (re)writes res/wemlox.ico

Uses the drawing helpers of graphics/draw_artwork.py, so the icon keeps the
look of the buttons. Deterministic: running it again gives the same file.
"""

import os
import sys

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "graphics"))
sys.dont_write_bytecode = True  # graphics/ is copied beside the program as it is
import draw_artwork as art  # noqa: E402

UNIT = 80                       # the design grid, as for the button faces
SIZE = 256                      # largest icon; the others are shrunk from it
SIZES = [16, 20, 24, 32, 40, 48, 64, 256]


def draw():
    c = art.Canvas(SIZE, SIZE)
    scale = SIZE / UNIT
    # The face's W, heavier and centred, so it still reads at 16 pixels.
    w_pts = [(13, 19), (25, 52), (40, 45), (55, 52), (67, 19)]
    c.poly([(x * scale, y * scale) for x, y in art.stroke_polygon(w_pts, 12, end_cut="h")])
    img = c.result().convert("RGBA")
    # Corners outside the rounded square stay transparent.
    mask = Image.new("L", (SIZE * art.SS, SIZE * art.SS), 0)
    ImageDraw.Draw(mask).rounded_rectangle(
        [0, 0, SIZE * art.SS - 1, SIZE * art.SS - 1], radius=int(12 * scale * art.SS), fill=255)
    img.putalpha(mask.reduce(art.SS))
    return img


def main():
    img = draw()
    out = os.path.join(HERE, "wemlox.ico")
    # PNG entries: read by Windows since Vista, and a fraction of the size.
    img.save(out, format="ICO", sizes=[(s, s) for s in SIZES])
    print("%s %d bytes" % (out, os.path.getsize(out)))


if __name__ == "__main__":
    main()
