#!/usr/bin/env python3
"""Writes the seed inputs of skin_markup_fuzzer. The first byte of each
input selects the encoding (0 UTF-8, 1 UTF-16, 2 narrow) and, with bit 2,
collapsed whitespace.

usage: make_corpus.py [folder]   (default: corpus/skin_markup_fuzzer beside this script)
"""
import os
import sys

SKIN = """\ufeff<?xml version="1.0" encoding="utf-8"?>
<Window size="600,300" sizebox="0,0,0,0" caption="0,0,0,100">
  <Font name="宋体" size="14" />
  <!-- <Button name="fix_app" /> -->
  <VerticalLayout bkcolor="#FFF0F0F0" bkimage="bg_luanch.png">
    <Progress name="prog_stat" foreimage="file='p.png' corner='12,5,12,5'" text="a &amp; b &copy;" />
  </VerticalLayout>
</Window>
"""

SEEDS = {
    "skin_utf8": b"\x00" + SKIN.encode("utf-8"),
    "skin_utf16le": b"\x01" + b"\xff\xfe" + SKIN.lstrip("\ufeff").encode("utf-16-le"),
    "skin_utf16be": b"\x01" + b"\xfe\xff" + SKIN.lstrip("\ufeff").encode("utf-16-be"),
    "collapse": b"\x04<a v=\"x    y\">two   words</a>",
    "unclosed": b"\x00<a><b></a>",
    "single_quote": b"\x00<a v='1'/>",
    "entities": b"\x02<a v=\"&amp;&lt;&gt;&quot;&apos;&x\">&amp</a>",
    "comment_open": b"\x00<!-- never closed <a/>",
    "pi_open": b"\x00<?xml ",
    "nameless_attribute": b"\x00<a =\"1\" b=\"&amp;\"><c =\"\"/></a>",
}


def main():
    if len(sys.argv) > 1 and sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "corpus", "skin_markup_fuzzer")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
