#!/usr/bin/env python3
"""Writes the seeds of vidscribe_flv_reader_fuzzer: a short recording with
onMetaData (duration and a one-entry key-frame index), AVC and AAC sequence
headers and a few frames, laid out as the recorder writes them.

Run from anywhere: python3 make_reader_corpus.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SPS = bytes.fromhex("6742c01fd9005005bb011000000300100000030320f1832480")
PPS = bytes.fromhex("68cb83cb20")


def tag(kind, time, body):
    return (bytes([kind]) + struct.pack(">I", len(body))[1:] + struct.pack(">I", time & 0xFFFFFF)[1:] +
            bytes([time >> 24]) + b"\0\0\0" + body + struct.pack(">I", len(body) + 11))


def name(text):
    data = text.encode()
    return struct.pack(">H", len(data)) + data


def number(value):
    return b"\0" + struct.pack(">d", value)


def metadata(position):
    index = (b"\x03" + name("filepositions") + b"\x0a" + struct.pack(">I", 1) + number(position) +
             name("times") + b"\x0a" + struct.pack(">I", 1) + number(0.0) + b"\0\0\x09")
    return (b"\x02" + name("onMetaData") + b"\x08" + struct.pack(">I", 2) + name("duration") + number(0.08) +
            name("keyframes") + index + b"\0\0\x09")


def recording():
    avcc = bytes([1, 0x42, 0xC0, 0x1F, 0xFF, 0xE1]) + struct.pack(">H", len(SPS)) + SPS + \
        bytes([1]) + struct.pack(">H", len(PPS)) + PPS
    media = [tag(9, 0, bytes([0x17, 0, 0, 0, 0]) + avcc), tag(8, 0, bytes([0xAF, 0, 0x12, 0x10]))]
    first_picture = sum(len(t) for t in media)
    media += [tag(9, 0, bytes([0x17, 1, 0, 0, 40]) + struct.pack(">I", 3) + b"\x65\x88\x84"),
              tag(8, 23, bytes([0xAF, 1]) + b"\x21" * 10),
              tag(9, 40, bytes([0x27, 1, 0, 0, 0]) + struct.pack(">I", 2) + b"\x41\x9a"),
              tag(9, 80, bytes([0x27, 1, 0, 0, 0]) + struct.pack(">I", 2) + b"\x41\x9b")]
    script_size = len(tag(18, 0, metadata(0.0)))
    script = tag(18, 0, metadata(float(13 + script_size + first_picture)))
    return b"FLV\x01\x05\0\0\0\x09" + b"\0\0\0\0" + script + b"".join(media)


def main():
    folder = os.path.join(HERE, "corpus", "vidscribe_flv_reader_fuzzer")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "recording"), "wb") as out:
        out.write(recording())


if __name__ == "__main__":
    main()
