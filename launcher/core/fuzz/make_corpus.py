#!/usr/bin/env python3
"""Writes the seed inputs of launcher_text_fuzzer into corpus/."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "launcher_text_fuzzer")

SEEDS = {
    "ascii_path": b"\x01\\bin\\1.0.0\\tarkel.shell",
    "split_runs": b"\x01\\a\\\\b\\",
    "multi_separator": b"\x02--a--b---c",
    "cjk_fullwidth": "\x00文件解压失败，请通知客服".encode("utf-8"),
    "emoji": "\x03x😀y".encode("utf-8"),
    "malformed": b"\x01\x80\xc0\x80\xe0\x80\xaf\xed\xa0\x80\xf4\x90\x80\x80\xf5\xff",
    "truncated": b"\x00abc\xe4\xb8",
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
