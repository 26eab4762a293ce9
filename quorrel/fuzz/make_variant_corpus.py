#!/usr/bin/python3
"""Writes the seed inputs of quorrel_variant_fuzzer: serialized "av" argument
lists as the extension and the browser-side library exchange them. Needs
GLib's Python bindings (python3-gi), hence Debian's own interpreter."""
import os
import sys

from gi.repository import GLib

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "quorrel_variant_fuzzer")
os.makedirs(out, exist_ok=True)
V = GLib.Variant


def av(*elements):
    return V("av", list(elements))


seeds = {
    "empty": av(),
    "reply": av(V("i", 1), V("i", 0), V("s", "done")),
    "request": av(V("i", 7), av(V("s", "name"), V("d", 2.5), V("b", True), V("mv", None), av())),
    "query": av(V("i", 1), V("i", 0), V("b", True), V("i", 3), V("i", 9), V("s", "q"), V("b", False)),
    "nul_text": av(V("(ay)", (b"a\0b",))),
    "binary_dict": av(V("ay", b"\x00\xff"), V("a{sv}", {"k": V("i", 1), "n": V("av", [V("s", "x")])})),
    "odd_types": av(V("u", 5), V("x", -1), V("()", ()), V("mv", V("i", 1)), V("(ii)", (1, 2))),
    "deep": av(*[av(av(av(av(V("i", 1)))))] * 2),
}
for name, value in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(value.get_data_as_bytes().get_data())
