"""Writes the seed inputs of zip_reader_fuzzer: small archives from Python's
zipfile and the crafted writer (stored, deflated, folder, UT block, stub,
one local entry listed twice)."""
import io
import os
import struct
import sys
import zipfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "scripts"))
import zipcraft  # noqa: E402

out = os.path.join(here, "corpus", "zip_reader_fuzzer")
os.makedirs(out, exist_ok=True)


def save(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


for method, name in ((zipfile.ZIP_STORED, "stored.zip"), (zipfile.ZIP_DEFLATED, "deflated.zip")):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        z.writestr("skin/launcher.xml", "<Window/>" * 20)
        z.writestr("a\\b.txt", "x")
        z.writestr("dir/", "")
    save(name, buffer.getvalue())
save("crafted.zip", zipcraft.build([
    zipcraft.Entry("t.txt", b"hello" * 30, local_extra=zipcraft.ut_extra(1, 2, 3)),
    zipcraft.Entry("s.bin", b"stored", method=0, host=zipcraft.WINDOWS, external=0x21),
], comment=b"note", prefix=b"stub"))
save("empty.zip", zipcraft.build([]))
shared = zipcraft.Entry("a.bin", b"\0" * 4096)
twice = zipcraft.local_header(shared) + shared.payload
listing = zipcraft.central_record(shared, 0) * 2
save("overlap.zip", twice + listing + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(listing), len(twice), 0))
