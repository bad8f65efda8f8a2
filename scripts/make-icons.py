#!/usr/bin/env python3
"""Draws the tray's icons into src/app/icons/*.ico, each with 16, 20, 24 and 32 pixel images, the
program's icon src/app/Tessary.ico (48, 32 and 16 pixels), and the README's pictures of the tray
icon on a light and a dark taskbar, docs/tray-icon-light.png and docs/tray-icon-dark.png.

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


# The taskbar is light or dark (dark by default on Windows 10 and 11), and one picture serves both:
# the dark frames set the monitors off a light taskbar, the light blue screens a dark one, and the
# stands, too thin for two tones, are a grey between the two.
ON = {"frame": "#303030", "screen": "#4C94E6", "stand": "#7B7B7B", "arrow": "#F5A623", "arrow_edge": "#8A5A00"}
# The watcher off: the same picture in greys of the same luminance, so it reads as well on either
# taskbar; the arrow lighter, to stay clear of the grey screens.
OFF = {"frame": "#303030", "screen": "#919191", "stand": "#7B7B7B", "arrow": "#D6D6D6", "arrow_edge": "#646464"}


def monitors(s, pal):
    """Two monitors side by side with their stands, crisp edges."""
    d = ["+antialias", "-stroke", pal["frame"], "-strokewidth", "1", "-fill", pal["screen"]]
    for x0, x1 in ((2, 22), (25, 45)):
        d += ["-draw", "rectangle %d,%d %d,%d" % (px(x0, s), px(12, s), px(x1, s) - 1, px(31, s) - 1)]
    d += ["-stroke", "none", "-fill", pal["stand"]]
    for x0, x1, w0, w1 in ((10, 14, 6, 18), (33, 37, 29, 41)):
        d += ["-draw", "rectangle %d,%d %d,%d" % (px(x0, s), px(31, s), max(px(x1, s) - 1, px(x0, s)), px(35, s) - 1)]
        d += ["-draw", "rectangle %d,%d %d,%d" % (px(w0, s), px(35, s), px(w1, s) - 1, max(px(37, s), px(35, s)))]
    return d


def arrow_right(s, pal):
    # Below 24 pixels an edge would leave the shaft one orange row and cover the screens.
    edge = pal["arrow_edge"] if s >= 24 else "none"
    # An edged point stays inside the right monitor's frame rather than smear past it.
    tip = min(px(42, s), px(45, s) - 2) if edge != "none" else px(42, s)
    mid = px(21.5, s)
    # At 16 pixels a shaft of three rows would hide the screens; one row leaves them in sight.
    top, bottom = (mid, mid) if s <= 16 else (px(18, s), px(25, s))
    pts = [(px(7, s), top), (px(31, s), top), (px(31, s), px(13, s)), (tip, mid), (px(31, s), px(30, s)),
           (px(31, s), bottom), (px(7, s), bottom)]
    return ["-antialias", "-fill", pal["arrow"], "-stroke", edge, "-strokewidth", "1",
            "-draw", "stroke-linejoin round polygon " + " ".join("%d,%d" % p for p in pts)]


def program_on(s):
    return monitors(s, ON) + arrow_right(s, ON)


def program_off(s):
    return monitors(s, OFF) + arrow_right(s, OFF)


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


# The program's icon: drawn at 48 pixels and scaled to 32 and 16; the tray's colours, as dark
# Start menus and Explorer windows are common too.
PROGRAM_ICON = ["-size", "48x48", "xc:none", "-fill", ON["screen"], "-stroke", "#404040", "-strokewidth", "2",
                "-draw", "rectangle 2,12 22,30", "-draw", "rectangle 25,12 45,30", "-stroke", "none",
                "-fill", ON["stand"], "-draw", "rectangle 10,31 14,34", "-draw", "rectangle 6,35 18,37",
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


# The up and warning pictures complete the tray's image list but are never shown: one small size
# each keeps the exe small.
ICONS = {
    "tray-off.ico": (program_off, SIZES),
    "tray-on.ico": (program_on, SIZES),
    "tray-up.ico": (arrow_up, [16]),
    "tray-warning.ico": (warning, [16]),
}


# The README's pictures: the watcher on and off at 100 % (16 px) and at 200 % (32 px), side by
# side on Windows 11's light and dark taskbar.
TASKBARS = {"tray-icon-light.png": "#F3F3F3", "tray-icon-dark.png": "#202020"}
STRIP = (172, 56)
PLACES = [("tray-on.ico", 16, 12, 20), ("tray-off.ico", 16, 40, 20), ("tray-on.ico", 32, 80, 12),
          ("tray-off.ico", 32, 128, 12)]


def write_pictures(tmp):
    for name, colour in TASKBARS.items():
        cmd = ["convert", "-size", "%dx%d" % STRIP, "xc:" + colour]
        for icon, s, x, y in PLACES:
            cmd += [os.path.join(tmp, "%s-%d.png" % (icon, s)), "-geometry", "+%d+%d" % (x, y), "-composite"]
        path = os.path.join(ROOT, "docs", name)
        subprocess.run(cmd + PNG_OPTIONS + ["PNG24:" + path], check=True)
        print("wrote", os.path.relpath(path, ROOT))


def main():
    os.makedirs(OUT, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        for name, (draw, sizes) in ICONS.items():
            pngs = []
            for s in sizes:
                png = os.path.join(tmp, "%s-%d.png" % (name, s))
                subprocess.run(["convert", "-size", "%dx%d" % (s, s), "xc:none"] + draw(s) + PNG_OPTIONS +
                               ["PNG32:" + png], check=True)
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
        write_pictures(tmp)
    return 0


if __name__ == "__main__":
    sys.exit(main())
