#!/usr/bin/env python3
"""Draws the launcher skin's images and packs the skin archive.

usage: draw_skin.py LAUNCHER_XML OUT.zip

The artwork is drawn here with signed distances (anti-aliased edges) and
written as 8-bit RGBA PNG: a sky with sun, clouds and hills over a deep blue
band for the status line and the bar, a close button and the bar's fill.
The archive is written under a temporary name and renamed when complete.
"""
import math
import os
import struct
import sys
import zipfile
import zlib


def png(width, height, pixels):
    """pixels: list of rows of (r, g, b, a) tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw.extend(bytes(int(max(0, min(255, round(c)))) for c in p))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def coverage(distance):
    """Signed distance (negative inside) to pixel coverage, 1 px soft edge."""
    return max(0.0, min(1.0, 0.5 - distance))


def over(dst, colour, alpha):
    """Source-over of a straight-alpha colour onto a straight-alpha pixel."""
    r, g, b, a = dst
    sa = alpha * (colour[3] / 255.0 if len(colour) > 3 else 1.0)
    if sa <= 0:
        return dst
    da = a / 255.0
    oa = sa + da * (1 - sa)
    mix = [(colour[i] * sa + dst[i] * da * (1 - sa)) / oa for i in range(3)]
    return (mix[0], mix[1], mix[2], oa * 255)


def lerp(c0, c1, t):
    return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(len(c0)))


def circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def round_rect(px, py, x0, y0, x1, y1, r):
    qx = max(x0 + r - px, px - (x1 - r), 0)
    qy = max(y0 + r - py, py - (y1 - r), 0)
    inside = min(max(x0 + r - px, px - (x1 - r), y0 + r - py, py - (y1 - r)), 0)
    return math.hypot(qx, qy) + inside - r


def segment(px, py, ax, ay, bx, by, r):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - ax - vx * t, py - ay - vy * t) - r


SKY_TOP = (126, 206, 244, 255)
SKY_LOW = (186, 230, 250, 255)
BAND_TOP = (44, 86, 160, 255)
BAND_LOW = (30, 58, 118, 255)
HILL_BACK = (126, 200, 110, 255)
HILL_FRONT = (82, 170, 92, 255)
SUN = (255, 212, 84, 255)
CLOUD = (255, 255, 255, 235)
DOTS = [((470, 150, 7), (255, 120, 120, 255)), ((500, 132, 5), (255, 190, 70, 255)),
        ((525, 156, 6), (150, 120, 235, 255)), ((120, 160, 5), (255, 150, 200, 255))]
CLOUDS = [(390, 62), (240, 102), (520, 96)]


def background():
    w, h = 600, 300
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            px, py = x + 0.5, y + 0.5
            p = lerp(SKY_TOP, SKY_LOW, y / 180.0) if y < 180 else SKY_LOW
            p = over(p, SUN, coverage(circle(px, py, 86, 70, 30)))
            p = over(p, (255, 236, 160, 90), coverage(circle(px, py, 86, 70, 40)))
            for cx, cy in CLOUDS:
                d = min(circle(px, py, cx, cy, 18), circle(px, py, cx + 22, cy - 8, 22),
                        circle(px, py, cx + 46, cy, 17), round_rect(px, py, cx - 10, cy, cx + 58, cy + 16, 8))
                p = over(p, CLOUD, coverage(d))
            back = 168 + 14 * math.sin(x / 70.0 + 1.0)
            p = over(p, HILL_BACK, coverage(back - py))
            front = 186 + 10 * math.sin(x / 55.0 + 3.0)
            p = over(p, HILL_FRONT, coverage(front - py))
            for (cx, cy, r), colour in DOTS:
                p = over(p, colour, coverage(circle(px, py, cx, cy, r)))
            band = lerp(BAND_TOP, BAND_LOW, max(0.0, (y - 196) / 104.0))
            p = over(p, band, coverage(196 - py + 0.0))
            # The bar's empty track, so an empty bar still shows where it is.
            p = over(p, (14, 32, 74, 255), coverage(round_rect(px, py, 30, 244, 570, 276, 12)))
            row.append(p)
        rows.append(row)
    return w, h, rows


def close_button(hover):
    w, h = 38, 31
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            px, py = x + 0.5, y + 0.5
            p = (0, 0, 0, 0)
            if hover:
                p = over(p, (232, 84, 84, 255), coverage(round_rect(px, py, 4, 3, 34, 28, 8)))
            d = min(segment(px, py, 13, 9, 25, 21, 1.6), segment(px, py, 25, 9, 13, 21, 1.6))
            p = over(p, (255, 255, 255, 255), coverage(d))
            row.append(p)
        rows.append(row)
    return w, h, rows


def progress_fill():
    w, h = 540, 32
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            px, py = x + 0.5, y + 0.5
            base = lerp((120, 220, 110, 255), (52, 168, 72, 255), y / 31.0)
            p = over((0, 0, 0, 0), base, coverage(round_rect(px, py, 0, 0, 540, 32, 12)))
            # A soft highlight along the top gives the bar some depth.
            p_hi = coverage(round_rect(px, py, 6, 3, 534, 12, 5))
            if p[3] > 0:
                p = over(p, (255, 255, 255, 70), p_hi)
            row.append(p)
        rows.append(row)
    return w, h, rows


def main():
    if len(sys.argv) != 3 or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) == 2 and sys.argv[1] in ("-h", "--help") else 2
    xml_path, out = sys.argv[1], sys.argv[2]
    with open(xml_path, "rb") as f:
        files = {"launcher.xml": f.read()}
    images = {
        "bg_luanch.png": background(),
        "close_normal.png": close_button(False),
        "close_hover.png": close_button(True),
        "progress_green.png": progress_fill(),
    }
    for name, (w, h, rows) in images.items():
        files[name] = png(w, h, rows)
    tmp = out + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            z.writestr(name, data)
    os.replace(tmp, out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
