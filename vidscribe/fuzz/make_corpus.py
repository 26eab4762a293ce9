#!/usr/bin/env python3
"""Writes the seed inputs of the media library's fuzz targets.

Run from anywhere: python3 make_corpus.py  (writes into corpus/ beside it).
The seeds are small, hand-assembled versions of what the parsers meet in
real files; regression inputs found by fuzzing are added beside them.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# A Constrained Baseline SPS and PPS written by libx264 for 1280x720.
SPS = bytes.fromhex("6742c01fd9005005bb011000000300100000030320f1832480")
PPS = bytes.fromhex("68cb83cb20")


def amf_string(text, marker=True):
    data = text.encode()
    return (b"\x02" if marker else b"") + struct.pack(">H", len(data)) + data


def amf_number(value):
    return b"\x00" + struct.pack(">d", value)


def metadata():
    members = [("duration", amf_number(1.5)), ("width", amf_number(640.0)),
               ("hasVideo", b"\x01\x01"), ("encoder", amf_string("seed"))]
    body = b"\x08" + struct.pack(">I", len(members))
    for name, value in members:
        body += amf_string(name, marker=False) + value
    keyframes = b"\x03" + amf_string("times", False) + b"\x0a" + struct.pack(">I", 2) + amf_number(0) + \
        amf_number(2.0) + amf_string("filepositions", False) + b"\x0a" + struct.pack(">I", 1) + \
        amf_number(13.0) + b"\x00\x00\x09"
    body += amf_string("keyframes", False) + keyframes + b"\x00\x00\x09"
    return amf_string("onMetaData") + body


def avcc():
    return bytes([1, SPS[1], SPS[2], SPS[3], 0xFF, 0xE1]) + struct.pack(">H", len(SPS)) + SPS + \
        b"\x01" + struct.pack(">H", len(PPS)) + PPS


def flv_tag(kind, time, body):
    header = bytes([kind]) + struct.pack(">I", len(body))[1:] + struct.pack(">I", time & 0xFFFFFF)[1:] + \
        bytes([time >> 24]) + b"\x00\x00\x00"
    return header + body + struct.pack(">I", len(body) + 11)


def flv():
    data = b"FLV\x01\x05" + struct.pack(">I", 9) + struct.pack(">I", 0)
    data += flv_tag(18, 0, metadata())
    data += flv_tag(9, 0, b"\x17\x00\x00\x00\x00" + avcc())
    data += flv_tag(8, 0, b"\xaf\x00\x12\x10")
    data += flv_tag(9, 40, b"\x17\x01\x00\x00\x00" + struct.pack(">I", 3) + b"\x65\x88\x80")
    data += flv_tag(8, 0x01000023, b"\xaf\x01\x21\x00")
    return data


SEEDS = {
    "vidscribe_amf0_fuzzer": {"metadata": metadata(), "ecma_only": metadata()[13:],
                              "strict": b"\x0a\x00\x00\x00\x02" + amf_number(1) + amf_number(2)},
    "vidscribe_avcc_fuzzer": {"record": avcc(), "cut": avcc()[:20]},
    "vidscribe_sps_fuzzer": {"sps": SPS, "annexb": b"\x00\x00\x00\x01" + SPS + b"\x00\x00\x01" + PPS},
    "vidscribe_flv_walker_fuzzer": {"file": flv()},
}

for target, seeds in SEEDS.items():
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
