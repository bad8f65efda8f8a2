#!/usr/bin/env python3
"""Draws the tray's icons into src/app/icons/*.ico, each with 16, 20, 24 and 32 pixel images, and
the program's icon src/app/Tessary.ico (48, 32 and 16 pixels).

Every size is drawn on its own pixel grid (shapes given on a 48-unit grid, edges rounded to whole
pixels, the frames and stands without anti-aliasing), so the shell never has to scale an image
and each one stays sharp at 100 %, 125 %, 150 % and 200 % scaling. Needs ImageMagick's `convert`
(6.9, as scripts/setup.sh installs); the same command gives the same bytes.

    python3 scripts/make-icons.py
"""
import os
import struct
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


# The program's icon: drawn at 48 pixels and scaled to 32 and 16.
PROGRAM_ICON = ["-size", "48x48", "xc:none", "-fill", "#3A6EA5", "-stroke", "#404040", "-strokewidth", "2",
                "-draw", "rectangle 2,12 22,30", "-draw", "rectangle 25,12 45,30", "-stroke", "none",
                "-fill", "#404040", "-draw", "rectangle 10,31 14,34", "-draw", "rectangle 6,35 18,37",
                "-draw", "rectangle 33,31 37,34", "-draw", "rectangle 29,35 41,37", "-fill", "#F5A623",
                "-stroke", "#8A5A00", "-strokewidth", "1", "-draw", "polygon 7,18 31,18 31,13 41,21 31,29 31,24 7,24",
                "-define", "icon:auto-resize=48,32,16"]

# Only the pixels: no time, no gamma or colour chunks a reader could apply differently.
PNG_OPTIONS = ["-strip", "-define", "png:exclude-chunks=date,time"]


def write_png_icon(pngs, path):
    """An .ico file whose images are the given PNG files, in that order."""
    images = []
    for png in pngs:
        with open(png, "rb") as f:
            data = f.read()
        width, height = struct.unpack(">II", data[16:24])
        images.append((width, height, data))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for width, height, data in images:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(data for _, _, data in images))


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
                               PNG_OPTIONS + ["PNG32:" + png], check=True)
                pngs.append(png)
            write_png_icon(pngs, os.path.join(OUT, name))
            print("wrote", os.path.relpath(os.path.join(OUT, name), ROOT))
        bitmaps = os.path.join(tmp, "Tessary.ico")
        subprocess.run(["convert"] + PROGRAM_ICON + [bitmaps], check=True)
        pngs = []
        for i in range(3):
            png = os.path.join(tmp, "Tessary-%d.png" % i)
            subprocess.run(["convert", "%s[%d]" % (bitmaps, i)] + PNG_OPTIONS + ["PNG32:" + png], check=True)
            pngs.append(png)
        write_png_icon(pngs, os.path.join(ROOT, "src", "app", "Tessary.ico"))
        print("wrote", os.path.relpath(os.path.join(ROOT, "src", "app", "Tessary.ico"), ROOT))
    return 0


if __name__ == "__main__":
    sys.exit(main())
