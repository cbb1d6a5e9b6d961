#!/usr/bin/env python3
"""Draws all of Wemlox's bitmap artwork as baseline JPEG files.

What it draws (everything ends up next to this script, in graphics/):

  * eleven 80 x 80 button faces plus the busy face:
      Copy, 1to1, Fit, Left, Right, TFA, Misc, Info, End, Keyb, WLX, Progress
  * four 16 x 16 tree lamps: Yellow-16px, Green-16px, Red-16px, Blue-16px
  * Thumb.jpg, the 160 x 120 placeholder for a thumbnail cell without a picture
  * four 36 x 36 thumbnail check boxes:
      NotLoadedUnchecked, NotLoadedChecked, LoadedUnchecked, LoadedChecked

How to run (Debian: apt-get install -y python3-pil fonts-dejavu-core):

    /usr/bin/python3 graphics/draw_artwork.py            # (re)writes the JPEGs
    /usr/bin/python3 graphics/draw_artwork.py --sheet /tmp/sheet.png
                                                          # also a preview sheet

The output is deterministic: running it again gives the same files.

Button face layout.  The program paints two 2-pixel status lamps into every
80 x 80 face, at x 27..52 / y 27..28 and x 27..52 / y 53..54, and clears a
lamp by repainting it with the colour of pixel (2,2).  So pixel (2,2) must be
plain background, and the glyphs keep out of the two bands around the lamps:

    x 24..55, y 24..31   and   x 24..55, y 48..56

Those bands line up with the 8 x 8 JPEG blocks, so a face whose glyph stays
out of them decodes to an exactly flat background under the lamps.  A glyph
may use the centre strip y 32..47, everything above y 24 and below y 56, and
the side columns x < 24 and x > 55 at any height.  Faces are often shown
shrunk to 48 x 48, hence the heavy (4..7 px) strokes.

All drawing happens at 8x resolution in the 80-pixel coordinate system
(a pixel i covers [i, i+1)) and is box-filtered down, which gives clean
anti-aliased edges without ringing.
"""

import math
import os
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))

BG = (51, 51, 51)          # face background, also the lamp "off" colour
FG = (204, 204, 204)       # glyph colour
EDGE = (70, 70, 70)        # 1-pixel flat-button rim
BUSY = (255, 190, 60)      # amber used on the busy face only
GREEN = (70, 200, 70)      # "stored locally" colour of the check boxes

SS = 8                     # supersampling factor

JPEG_OPTS = dict(quality=95, subsampling=0, optimize=False, progressive=False)

FONT_DIR = "/usr/share/fonts/truetype/dejavu"

# Bands around the status lamps that must stay background: (x0, y0, x1, y1),
# half-open, in face pixels.
LAMP_KEEPOUT = [(24, 24, 56, 32), (24, 48, 56, 57)]
LAMP_ROWS = [(27, 27, 53, 29), (27, 53, 53, 55)]


# --------------------------------------------------------------------------
# Drawing helpers
# --------------------------------------------------------------------------

class Canvas:
    """A supersampled drawing surface addressed in output-pixel units."""

    def __init__(self, w, h, bg=BG):
        self.w, self.h = w, h
        self.img = Image.new("RGB", (w * SS, h * SS), bg)
        self.d = ImageDraw.Draw(self.img)

    @staticmethod
    def _s(v):
        return v * SS

    def _pts(self, pts):
        return [(x * SS, y * SS) for x, y in pts]

    def rect(self, x0, y0, x1, y1, fill=FG):
        """Filled rectangle covering [x0, x1) x [y0, y1)."""
        self.d.rectangle([x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], fill=fill)

    def rrect(self, x0, y0, x1, y1, r, fill=None, outline=None, width=0):
        self.d.rounded_rectangle(
            [x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], radius=r * SS,
            fill=fill, outline=outline, width=int(round(width * SS)))

    def poly(self, pts, fill=FG):
        self.d.polygon(self._pts(pts), fill=fill)

    def disc(self, cx, cy, r, fill=FG):
        self.d.ellipse([(cx - r) * SS, (cy - r) * SS,
                        (cx + r) * SS - 1, (cy + r) * SS - 1], fill=fill)

    def ring(self, cx, cy, r, width, fill=FG):
        """Circle outline whose stroke is centred on radius r."""
        ro = r + width / 2.0
        self.d.ellipse([(cx - ro) * SS, (cy - ro) * SS,
                        (cx + ro) * SS - 1, (cy + ro) * SS - 1],
                       outline=fill, width=int(round(width * SS)))

    def arc(self, cx, cy, r, width, a0, a1, fill=FG, round_caps=True):
        """Arc centred on radius r; angles in degrees, 0 = up, clockwise."""
        ro = r + width / 2.0
        # PIL measures from 3 o'clock, clockwise.
        self.d.arc([(cx - ro) * SS, (cy - ro) * SS,
                    (cx + ro) * SS - 1, (cy + ro) * SS - 1],
                   a0 - 90, a1 - 90, fill=fill, width=int(round(width * SS)))
        if round_caps:
            for a in (a0, a1):
                t = math.radians(a)
                self.disc(cx + r * math.sin(t), cy - r * math.cos(t),
                          width / 2.0, fill)

    def line(self, pts, width, fill=FG, round_caps=True):
        """Polyline with round joins (and round caps unless told otherwise)."""
        self.d.line(self._pts(pts), fill=fill, width=int(round(width * SS)),
                    joint="curve")
        if round_caps:
            for x, y in (pts[0], pts[-1]):
                self.disc(x, y, width / 2.0, fill)
        if len(pts) > 2:
            for x, y in pts[1:-1]:
                self.disc(x, y, width / 2.0, fill)

    def text(self, cx, cy, s, font_file, size, fill=FG):
        """Text centred on (cx, cy) by its ink box."""
        font = ImageFont.truetype(os.path.join(FONT_DIR, font_file), int(size * SS))
        l, t, r, b = self.d.textbbox((0, 0), s, font=font)
        self.d.text((cx * SS - (l + r) / 2.0, cy * SS - (t + b) / 2.0), s,
                    font=font, fill=fill)

    def result(self):
        return self.img.reduce(SS)


def mirror_x(pts, w=80):
    return [(w - x, y) for x, y in pts]


def mirror_y(pts, h=80):
    return [(x, h - y) for x, y in pts]


def _intersect(p, d, q, e):
    """Intersection of the lines p + t*d and q + s*e."""
    den = d[0] * e[1] - d[1] * e[0]
    t = ((q[0] - p[0]) * e[1] - (q[1] - p[1]) * e[0]) / den
    return (p[0] + t * d[0], p[1] + t * d[1])


def stroke_polygon(pts, width, end_cut=None):
    """Outline of a polyline drawn with mitred joins.

    end_cut: None cuts the ends square to the stroke; 'h' cuts them along a
    horizontal line through the end point (nice for letter tops).
    """
    hw = width / 2.0
    dirs, norms = [], []
    for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
        L = math.hypot(x1 - x0, y1 - y0)
        d = ((x1 - x0) / L, (y1 - y0) / L)
        dirs.append(d)
        norms.append((-d[1], d[0]))

    def side(sign):
        out = []
        n = len(dirs)
        for i, p in enumerate(pts):
            if i == 0 or i == n:
                k = 0 if i == 0 else n - 1
                q = (p[0] + sign * hw * norms[k][0], p[1] + sign * hw * norms[k][1])
                if end_cut == "h":
                    q = _intersect(q, dirs[k], p, (1.0, 0.0))
                out.append(q)
            else:
                a = (p[0] + sign * hw * norms[i - 1][0], p[1] + sign * hw * norms[i - 1][1])
                b = (p[0] + sign * hw * norms[i][0], p[1] + sign * hw * norms[i][1])
                out.append(_intersect(a, dirs[i - 1], b, dirs[i]))
        return out

    left, right = side(+1), side(-1)
    return left + right[::-1]


def inset_polygon(pts, dist):
    """Convex polygon (listed clockwise on screen) moved inward by dist."""
    n = len(pts)
    lines = []
    for i in range(n):
        (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % n]
        L = math.hypot(x1 - x0, y1 - y0)
        d = ((x1 - x0) / L, (y1 - y0) / L)
        nrm = (-d[1], d[0])          # inward for a clockwise (screen) outline
        lines.append(((x0 + dist * nrm[0], y0 + dist * nrm[1]), d))
    out = []
    for i in range(n):
        p, d = lines[i - 1]
        q, e = lines[i]
        out.append(_intersect(p, d, q, e))
    return out


def outline_polygon(c, pts, width, fill=FG, bg=BG):
    """Stroke a convex polygon with the stroke lying inside its outline."""
    c.poly(pts, fill)
    c.poly(inset_polygon(pts, width), bg)


def finish_face(c):
    """Shrink a face canvas to 80 x 80 and add the flat-button rim."""
    img = c.result()
    d = ImageDraw.Draw(img)
    d.rectangle([0, 0, img.width - 1, img.height - 1], outline=EDGE)
    return img


# --------------------------------------------------------------------------
# 80 x 80 button faces
# --------------------------------------------------------------------------

def face_copy():
    c = Canvas(80, 80)
    # Sheet behind: only its top-left L shows, the front sheet covers the rest.
    c.rrect(7, 8, 60, 64, 3, outline=FG, width=4)
    # Front sheet with a folded top-right corner, painted opaque.
    front = [(20, 17), (61, 17), (74, 30), (74, 75), (20, 75)]
    outline_polygon(c, front, 4)
    c.poly([(61, 17), (61, 30), (74, 30)], FG)
    # Two lines of "content" in the centre strip.
    c.rrect(28, 33, 64, 37, 1.5, fill=FG)
    c.rrect(28, 42, 55, 46, 1.5, fill=FG)
    return finish_face(c)


def _digit_one(c, stem_x0, stem_w=9, top=12, bottom=67, flag_dx=8,
               base=(7, 28)):
    sx0, sx1 = stem_x0, stem_x0 + stem_w
    c.rect(sx0, top, sx1, bottom)
    # Flag: a wedge from the top of the stem down to the left.
    c.poly([(sx1, top), (sx0, top), (sx0 - flag_dx, top + 5),
            (sx0 - flag_dx, top + 11), (sx0, top + 7.5)])
    c.rect(base[0], bottom - 6, base[1], bottom)


def face_1to1():
    c = Canvas(80, 80)
    _digit_one(c, 13, base=(7, 29))
    _digit_one(c, 58, base=(52, 74))
    c.rrect(36.5, 32, 43.5, 38.5, 1.5, fill=FG)
    c.rrect(36.5, 41.5, 43.5, 48, 1.5, fill=FG)
    return finish_face(c)


def face_fit():
    c = Canvas(80, 80)
    # Window frame.
    c.rrect(4, 8, 76, 72, 3, outline=FG, width=4)
    # Four arrows pushing outward into the corners of the frame.
    head = [(10.5, 14.5), (22, 14.5), (10.5, 26)]
    shaft = [(13, 17), (21, 21.5)]
    for mx in (False, True):
        for my in (False, True):
            h, s = head, shaft
            if mx:
                h, s = mirror_x(h), mirror_x(s)
            if my:
                h, s = mirror_y(h), mirror_y(s)
            c.poly(h)
            c.line(s, 5)
    # The picture in the middle.
    c.rrect(27, 32, 53, 48, 2, fill=FG)
    c.poly([(30, 46), (37, 37.5), (41, 42), (44.5, 38.5), (50.5, 46)], BG)
    c.disc(46.5, 35.8, 2.0, BG)
    return finish_face(c)


def _arrow(c, flip):
    shaft = [(10, 40), (71, 40)]
    head = [(21, 21.5), (8, 40), (21, 58.5)]
    if flip:
        shaft, head = mirror_x(shaft), mirror_x(head)
    c.line(shaft, 6)
    c.line(head, 6)


def face_left():
    c = Canvas(80, 80)
    _arrow(c, flip=False)
    return finish_face(c)


def face_right():
    c = Canvas(80, 80)
    _arrow(c, flip=True)
    return finish_face(c)


def face_tfa():
    c = Canvas(80, 80)
    # Wi-Fi sign above the card.
    c.disc(40, 20.5, 3.2)
    c.arc(40, 20.5, 9.5, 4, -48, 48)
    c.arc(40, 20.5, 16.5, 4, -48, 48)
    # The SD card, lying on its side, with its clipped corner.
    card = [(10, 32), (57, 32), (70, 45), (70, 75), (10, 75)]
    outline_polygon(c, card, 4)
    # Contact pads along the top edge.
    for i in range(5):
        x = 17 + i * 7.5
        c.rrect(x, 38, x + 4.5, 47, 1, fill=FG)
    return finish_face(c)


def face_misc():
    c = Canvas(80, 80)
    body = [(8, 8), (61, 8), (72, 19), (72, 72), (8, 72)]
    outline_polygon(c, body, 4)
    # Metal shutter with its window.
    c.rect(23, 8, 55, 22)
    c.rect(44, 11.5, 50, 19, BG)
    # Label area at the bottom.
    c.rect(18, 57, 62, 72)
    c.rect(21.5, 60.5, 58.5, 72, BG)
    c.rect(18, 68, 62, 72)
    # "more ..." dots in the middle.
    for x in (28, 40, 52):
        c.disc(x, 40, 3.7)
    return finish_face(c)


def face_info():
    c = Canvas(80, 80)
    c.ring(40, 40, 33, 5)
    c.disc(40, 17, 4.6)
    c.rect(36, 32, 44, 48)
    c.rect(31.5, 32, 44, 35.5)
    c.rect(31.5, 44.5, 48.5, 48)
    return finish_face(c)


def face_end():
    c = Canvas(80, 80)
    c.arc(40, 41, 30, 5.5, 33, 327)
    c.line([(40, 6.5), (40, 20.5)], 6)
    return finish_face(c)


def face_keyb():
    c = Canvas(80, 80)
    c.rrect(4, 20, 76, 61, 5, outline=FG, width=4)
    kw, gap, x0 = 8.0, 2.8, 9.0
    for i in range(6):
        x = x0 + i * (kw + gap)
        c.rrect(x, 32, x + kw, 38, 1.2, fill=FG)
    xs = [x0 + i * (kw + gap) for i in range(6)]
    for i in (0, 1, 4, 5):
        c.rrect(xs[i], 42, xs[i] + kw, 48, 1.2, fill=FG)
    c.rrect(xs[2], 42, xs[3] + kw, 48, 1.2, fill=FG)
    return finish_face(c)


def face_wlx():
    c = Canvas(80, 80)
    # A wide W whose middle peak stays in the centre strip, between the lamps.
    w_pts = [(6.5, 9), (21, 43.5), (40, 38), (59, 43.5), (73.5, 9)]
    c.poly(stroke_polygon(w_pts, 8.5, end_cut="h"))
    c.text(40, 65.5, "wemlox", "DejaVuSans-Bold.ttf", 12.5)
    return finish_face(c)


def face_progress():
    c = Canvas(80, 80)
    n = 12
    for k in range(n):
        a = math.radians(k * 360.0 / n)
        x, y = 40 + 30 * math.sin(a), 40 - 30 * math.cos(a)
        # Head of the spinner at 12 o'clock, a fading tail counter-clockwise.
        f = ((n - k) % n) / float(n - 1)     # 0 at the head ... 1 at the tail
        f = min(1.0, f)
        col = tuple(int(round(BUSY[i] * (1 - f) + (85, 80, 72)[i] * f))
                    for i in range(3))
        r = 4.6 - 1.4 * f
        c.disc(x, y, r, col)
    # Small hourglass in the middle strip.
    c.rect(33, 32, 47, 34, BUSY)
    c.rect(33, 46, 47, 48, BUSY)
    c.poly([(34.5, 34), (45.5, 34), (40.8, 40), (39.2, 40)], BUSY)
    c.poly([(39.2, 40), (40.8, 40), (45.5, 46), (34.5, 46)], BUSY)
    return finish_face(c)


FACES = [
    ("Copy.jpg", face_copy),
    ("1to1.jpg", face_1to1),
    ("Fit.jpg", face_fit),
    ("Left.jpg", face_left),
    ("Right.jpg", face_right),
    ("TFA.jpg", face_tfa),
    ("Misc.jpg", face_misc),
    ("Info.jpg", face_info),
    ("End.jpg", face_end),
    ("Keyb.jpg", face_keyb),
    ("WLX.jpg", face_wlx),
    ("Progress.jpg", face_progress),
]


# --------------------------------------------------------------------------
# Small icons
# --------------------------------------------------------------------------

def tree_lamp(color):
    c = Canvas(16, 16)
    dark = tuple(int(v * 0.55 + BG[i] * 0.25) for i, v in enumerate(color))
    c.disc(8, 8, 6.2, dark)
    c.disc(8, 8, 5.2, color)
    hi = tuple(int(v + (255 - v) * 0.55) for v in color)
    c.disc(6.4, 6.2, 1.6, hi)
    return c.result()


LAMPS = [
    ("Yellow-16px.jpg", (255, 220, 0)),
    ("Green-16px.jpg", (0, 200, 0)),
    ("Red-16px.jpg", (220, 0, 0)),
    ("Blue-16px.jpg", (0, 90, 255)),
]


def thumb_placeholder():
    c = Canvas(160, 120)
    c.rrect(46, 32, 114, 88, 4, outline=FG, width=4)
    c.poly([(50, 84), (70, 58), (80, 70), (90, 60), (110, 84)])
    c.ring(96, 48, 5.5, 3)
    return c.result()


def check_box(loaded, checked):
    c = Canvas(36, 36)
    border = GREEN if loaded else (160, 160, 160)
    inner = (44, 72, 44) if loaded else BG
    c.rrect(7, 7, 29, 29, 3.5, fill=inner, outline=border, width=3)
    if checked:
        c.line([(12, 18.5), (16.3, 23), (24.2, 12.8)], 3.6, (235, 235, 235))
    return c.result()


BOXES = [
    ("NotLoadedUnchecked.jpg", False, False),
    ("NotLoadedChecked.jpg", False, True),
    ("LoadedUnchecked.jpg", True, False),
    ("LoadedChecked.jpg", True, True),
]


# --------------------------------------------------------------------------
# Output, checks and preview
# --------------------------------------------------------------------------

def check_face(name, img, tol_pixel=2, tol_lamp=2):
    """Returns a list of problems with a decoded 80 x 80 face."""
    problems = []
    px = img.getpixel((2, 2))
    if any(abs(px[i] - BG[i]) > tol_pixel for i in range(3)):
        problems.append("%s: pixel (2,2) is %s" % (name, px))
    for x0, y0, x1, y1 in LAMP_ROWS:
        worst = 0
        for y in range(y0, y1):
            for x in range(x0, x1):
                p = img.getpixel((x, y))
                worst = max(worst, max(abs(p[i] - BG[i]) for i in range(3)))
        if worst > tol_lamp:
            problems.append("%s: lamp rows %d..%d deviate by %d"
                            % (name, y0, y1 - 1, worst))
    return problems


def check_keepout(name, img):
    """The undecoded face must be exact background in the lamp bands."""
    problems = []
    for x0, y0, x1, y1 in LAMP_KEEPOUT:
        for y in range(y0, y1):
            for x in range(x0, x1):
                if img.getpixel((x, y)) != BG:
                    problems.append("%s: glyph reaches (%d,%d)" % (name, x, y))
                    break
            else:
                continue
            break
    if img.getpixel((2, 2)) != BG:
        problems.append("%s: pixel (2,2) drawn over" % name)
    return problems


def save(img, name, outdir):
    path = os.path.join(outdir, name)
    img.convert("RGB").save(path, "JPEG", **JPEG_OPTS)
    return path


def paint_lamps(img, upper, lower):
    img = img.copy()
    d = ImageDraw.Draw(img)
    d.rectangle([27, 27, 52, 28], fill=upper)
    d.rectangle([27, 53, 52, 54], fill=lower)
    return img


def contact_sheet(paths, out):
    """Faces at 80 px, with lamps lit, and shrunk to 48 px; small icons."""
    faces = [Image.open(p).convert("RGB") for p in paths["faces"]]
    small = [Image.open(p).convert("RGB") for p in paths["small"]]
    pad, cell = 10, 80
    cols = len(faces)
    w = pad + cols * (cell + pad)
    h = pad + 4 * (cell + pad) + 140
    sheet = Image.new("RGB", (w, h), (30, 30, 30))
    lit = [((0, 200, 0), (255, 220, 0)), ((220, 0, 0), (0, 90, 255))]
    for i, f in enumerate(faces):
        x = pad + i * (cell + pad)
        sheet.paste(f, (x, pad))
        sheet.paste(paint_lamps(f, *lit[i % 2]), (x, pad + (cell + pad)))
        sheet.paste(f.resize((48, 48), Image.LANCZOS), (x, pad + 2 * (cell + pad)))
        sheet.paste(paint_lamps(f, *lit[i % 2]).resize((48, 48), Image.LANCZOS),
                    (x, pad + 3 * (cell + pad)))
    x, y = pad, pad + 4 * (cell + pad)
    for s in small:
        sheet.paste(s, (x, y))
        x += s.width + pad
    sheet.save(out)


def main(argv):
    outdir = HERE
    sheet = None
    if "--sheet" in argv:
        sheet = argv[argv.index("--sheet") + 1]

    problems = []
    written = {"faces": [], "small": []}
    for name, fn in FACES:
        img = fn()
        problems += check_keepout(name, img)
        path = save(img, name, outdir)
        problems += check_face(name, Image.open(path).convert("RGB"))
        written["faces"].append(path)
    for name, col in LAMPS:
        written["small"].append(save(tree_lamp(col), name, outdir))
    written["small"].append(save(thumb_placeholder(), "Thumb.jpg", outdir))
    for name, loaded, checked in BOXES:
        written["small"].append(save(check_box(loaded, checked), name, outdir))

    for p in written["faces"] + written["small"]:
        print("%-24s %6d bytes" % (os.path.basename(p), os.path.getsize(p)))
    if sheet:
        contact_sheet(written, sheet)
        print("preview sheet:", sheet)
    if problems:
        for p in problems:
            print("PROBLEM:", p, file=sys.stderr)
        return 1
    print("lamp areas and pixel (2,2) decode as plain background")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
