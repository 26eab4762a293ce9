#!/usr/bin/env python3
"""Writes the toolkit's test skin: a launcher-sized window description, its
PNG images (made here, pixel by pixel, so tests know every colour), a few
extra images for the image tests, and the same skin zipped.

usage: make_test_skin.py <output folder>
  <output>/skin/...        the skin folder
  <output>/skin.zip        the skin archive (Python's zipfile, deflated)
"""
import os
import struct
import sys
import zipfile
import zlib


def png(width, height, pixel):
    """RGBA PNG; pixel(x, y) returns (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(bytes(pixel(x, y)))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
            + chunk(b"IEND", b""))


BG = (40, 80, 160, 255)
RED = (255, 0, 0, 255)
ORANGE = (255, 128, 0, 255)
BLUE = (0, 0, 255, 255)
GREEN = (0, 200, 0, 255)


def progress_pixel(x, y):
    edge_x = x < 12 or x >= 528
    edge_y = y < 5 or y >= 27
    if edge_x and edge_y:
        return RED
    if edge_x:
        return ORANGE
    if edge_y:
        return BLUE
    return GREEN


def grid_pixel(x, y):
    """16x16, 4-pixel corners: each corner a checkerboard of its own two
    colours so any scaling of a corner shows."""
    if (x < 4 or x >= 12) and (y < 4 or y >= 12):
        base = {(0, 0): (255, 0, 0), (1, 0): (0, 255, 0), (0, 1): (0, 0, 255), (1, 1): (255, 255, 0)}[
            (x >= 12, y >= 12)]
        return base + (255,) if (x + y) % 2 == 0 else (0, 0, 0, 255)
    return (128, 128, 128, 255)


def mask_pixel(x, y):
    return (255, 0, 255, 255) if x < 5 else (255, 255, 255, 255)


SKIN_XML = """\ufeff<?xml version="1.0" encoding="utf-8" standalone="yes" ?>
<Window size="600,300" sizebox="0,0,0,0" caption="0,0,0,100" roundcorner="0,0">
  <Font name="宋体" size="14" bold="false" />
  <Font name="雅黑" size="14" bold="false" default="true" />
  <!-- the whole window -->
  <VerticalLayout bkcolor="#FFF0F0F0" bkimage="bg_luanch.png">
    <VerticalLayout>
      <Button name="closebtn" float="true" pos="545,0,0,0" width="37" height="31"
              normalimage="close_normal.png" hotimage="close_hover.png" pushedimage="close_hover.png" />
      <!-- <Button name="fix_app" float="true" pos="10,10,0,0" width="60" height="20" text="fix" /> -->
      <Text name="output_line" float="true" pos="50,207,0,0" width="500" height="30" text=""
            textcolor="#FFFFFFFF" disabledtextcolor="#FFA7A6AA" font="1" align="center" />
      <Progress name="prog_stat" float="true" pos="30,244,0,0" width="540" height="32"
                foreimage="file='progress_green.png' corner='12,5,12,5'" textpadding="0,8,0,8"
                textcolor="#FFFFFFFF" min="0" max="100" value="0" font="1" hor="true" text="" />
      <Control name="grid" float="true" pos="10,110,110,170" bkimage="file='grid.png' corner='4,4,4,4'" />
      <Control name="masked" float="true" pos="120,110,130,120" bkcolor="#FF0000FF"
               bkimage="file='mask.png' mask='#FF00FF'" />
      <Control name="alpha" float="true" pos="140,110,142,112" bkcolor="#FF000000" bkimage="alpha.png" />
      <Text name="link" float="true" pos="200,110,400,140" showhtml="true" text="see &lt;a&gt;help&lt;/a&gt;" />
      <Label name="missing" float="true" pos="420,110,440,130" bkimage="no_such_image.png" />
    </VerticalLayout>
  </VerticalLayout>
</Window>
"""

IMAGES = {
    "bg_luanch.png": (600, 300, lambda x, y: BG),
    "close_normal.png": (38, 31, lambda x, y: (255, 255, 255, 255)),
    "close_hover.png": (38, 31, lambda x, y: (255, 255, 0, 255)),
    "progress_green.png": (540, 32, progress_pixel),
    "grid.png": (16, 16, grid_pixel),
    "mask.png": (10, 10, mask_pixel),
    "alpha.png": (2, 2, lambda x, y: (200, 100, 50, 128)),
}


def main():
    if len(sys.argv) != 2 or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) == 2 else 2
    out = sys.argv[1]
    skin = os.path.join(out, "skin")
    os.makedirs(skin, exist_ok=True)
    files = {"launcher.xml": SKIN_XML.encode("utf-8")}
    for name, (w, h, fn) in IMAGES.items():
        files[name] = png(w, h, fn)
    for name, data in files.items():
        with open(os.path.join(skin, name), "wb") as f:
            f.write(data)
    tmp = os.path.join(out, "skin.zip.tmp")
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            # Mixed case on purpose: entries are looked up ignoring case.
            z.writestr(name if name != "bg_luanch.png" else "BG_Luanch.png", data)
    os.replace(tmp, os.path.join(out, "skin.zip"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
