#!/usr/bin/env python3
"""Draws the tray's icons into src/app/icons/*.ico, each with 16, 20, 24 and 32 pixel images.

Every size is drawn on its own pixel grid (shapes given on a 48-unit grid, edges rounded to whole
pixels, the frames and stands without anti-aliasing), so the shell never has to scale an image
and each one stays sharp at 100 %, 125 %, 150 % and 200 % scaling. Needs ImageMagick's `convert`
(6.9, as scripts/setup.sh installs); the same command gives the same bytes.

    python3 scripts/make-icons.py
"""
import os
import subprocess
import sys
import tempfile

SIZES = [16, 20, 24, 32]
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "src", "app", "icons")


def px(v, s):
    return int(round(v * s / 48.0))


def monitors(s):
    """Two monitors side by side with their stands, crisp edges."""
    d = ["+antialias", "-stroke", "#303030", "-strokewidth", "1", "-fill", "#3A6EA5"]
    for x0, x1 in ((2, 22), (25, 45)):
        d += ["-draw", "rectangle %d,%d %d,%d" % (px(x0, s), px(12, s), px(x1, s) - 1, px(31, s) - 1)]
    d += ["-stroke", "none", "-fill", "#404040"]
    for x0, x1, w0, w1 in ((10, 14, 6, 18), (33, 37, 29, 41)):
        d += ["-draw", "rectangle %d,%d %d,%d" % (px(x0, s), px(31, s), max(px(x1, s) - 1, px(x0, s)), px(35, s) - 1)]
        d += ["-draw", "rectangle %d,%d %d,%d" % (px(w0, s), px(35, s), px(w1, s) - 1, max(px(37, s), px(35, s)))]
    return d


def arrow_right(s):
    pts = [(7, 18), (31, 18), (31, 13), (42, 21.5), (31, 30), (31, 25), (7, 25)]
    return ["-antialias", "-fill", "#F5A623", "-stroke", "#8A5A00", "-strokewidth", "1",
            "-draw", "polygon " + " ".join("%d,%d" % (px(x, s), px(y, s)) for x, y in pts)]


def program(s):
    return monitors(s) + arrow_right(s)


def arrow_up(s):
    pts = [(24, 3), (43, 23), (31, 23), (31, 45), (17, 45), (17, 23), (5, 23)]
    return ["-antialias", "-fill", "#2E9E44", "-stroke", "#145A22", "-strokewidth", "1",
            "-draw", "polygon " + " ".join("%d,%d" % (px(x, s), px(y, s)) for x, y in pts)]


def warning(s):
    tri = [(24, 2), (46, 44), (2, 44)]
    d = ["-antialias", "-fill", "#F7C600", "-stroke", "#7A5A00", "-strokewidth", "1",
         "-draw", "polygon " + " ".join("%d,%d" % (px(x, s), px(y, s)) for x, y in tri)]
    c = s / 2.0
    bar = max(1, px(5, s))
    x0 = int(round(c - bar / 2.0))
    d += ["+antialias", "-stroke", "none", "-fill", "#202020",
          "-draw", "rectangle %d,%d %d,%d" % (x0, px(15, s), x0 + bar - 1, px(32, s) - 1),
          "-draw", "rectangle %d,%d %d,%d" % (x0, px(35, s), x0 + bar - 1, px(40, s) - 1)]
    return d


# name -> (drawing, extra operations after drawing)
ICONS = {
    "tray-off.ico": (program, ["-colorspace", "Gray", "+level", "25%,100%"]),
    "tray-on.ico": (program, []),
    "tray-up.ico": (arrow_up, []),
    "tray-warning.ico": (warning, []),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        for name, (draw, after) in ICONS.items():
            pngs = []
            for s in SIZES:
                png = os.path.join(tmp, "%s-%d.png" % (name, s))
                subprocess.run(["convert", "-size", "%dx%d" % (s, s), "xc:none"] + draw(s) + after +
                               ["-define", "png:exclude-chunks=date,time", png], check=True)
                pngs.append(png)
            subprocess.run(["convert"] + pngs + [os.path.join(OUT, name)], check=True)
            print("wrote", os.path.relpath(os.path.join(OUT, name), ROOT))
    return 0


if __name__ == "__main__":
    sys.exit(main())
