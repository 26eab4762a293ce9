"""Builds the archives the zip reader tests run against, in OUTDIR:

  src/                 the tree the real archivers pack
  infozip.zip          zip -r (folder entries, "UT" extra blocks)
  infozip_x.zip        zip -r -X (no extra blocks)
  streamed_file.zip / streamed_pipe.zip   zip packing standard input into a
                       file / a pipe (Zip64 records, data descriptor)
  sfx_plain.zip        1000-byte stub + infozip.zip, offsets not adjusted
  sfx_adjusted.zip     the same after zip -A
  py_stored.zip / py_deflated.zip   Python's zipfile, Windows attributes
                       and backslash names written by hand
  comment_ok.zip / comment_long.zip   end record just inside / past 64 KiB
  empty.zip, truncated.zip, corrupt_deflate.zip
  attrs.zip            crafted attribute and time cases
  windows_programs.zip entries made without Unix attributes: an ELF image,
                       a script, a text; and a Unix-made ELF marked 0644
  hostile_*.zip        crafted archives for the safety rules
"""
import copy
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zipcraft  # noqa: E402
from zipcraft import Entry  # noqa: E402


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_tree(root):
    rng = random.Random(4)
    write(os.path.join(root, "readme.txt"), b"hello package\n" * 50)
    write(os.path.join(root, "empty.dat"), b"")
    write(os.path.join(root, "bin", "tarkel.shell.exe"), bytes(rng.getrandbits(8) for _ in range(70000)))
    write(os.path.join(root, "bin", "plugins", "x.dll"), b"MZ" + b"\0" * 40000 + b"end")
    write(os.path.join(root, "skin", "launcher.xml"), b"<Window size=\"600,300\"/>\n")
    os.makedirs(os.path.join(root, "skin", "empty_folder"), exist_ok=True)
    os.chmod(os.path.join(root, "bin", "tarkel.shell.exe"), 0o755)


def infozip(out, src):
    tree = os.path.join(out, "src")
    subprocess.run(["zip", "-q", "-r", os.path.join(out, "infozip.zip"), "."], cwd=tree, check=True)
    subprocess.run(["zip", "-q", "-r", "-X", os.path.join(out, "infozip_x.zip"), "."], cwd=tree, check=True)
    # Packing standard input, zip marks the local sizes as unknown and adds
    # Zip64 records. Into a file it seeks back and fills in a Zip64 block;
    # into a pipe it cannot, and puts CRC and sizes after the data (flag 3).
    streamed = b"streamed through a pipe\n" * 100
    with open(os.path.join(out, "streamed_file.zip"), "wb") as f:
        subprocess.run(["zip", "-q", "-", "-"], input=streamed, stdout=f, check=True)
    piped = subprocess.run(["zip", "-q", "-", "-"], input=streamed, stdout=subprocess.PIPE, check=True)
    write(os.path.join(out, "streamed_pipe.zip"), piped.stdout)
    archive = open(os.path.join(out, "infozip.zip"), "rb").read()
    stub = b"#!stub\n" + bytes(993)
    write(os.path.join(out, "sfx_plain.zip"), stub + archive)
    write(os.path.join(out, "sfx_adjusted.zip"), stub + archive)
    subprocess.run(["zip", "-q", "-A", os.path.join(out, "sfx_adjusted.zip")], check=True)


def python_zip(out, name, method):
    with zipfile.ZipFile(os.path.join(out, name), "w", method) as z:
        for path, data, attrs in [
            ("a/b/c.txt", b"slash path\n", 0x20),
            ("a\\b\\d.txt", b"backslash path\n", 0x20),
            ("win_readonly.txt", b"read only on Windows\n", 0x01),
            ("big.bin", bytes(range(256)) * 2000, 0x20),
        ]:
            info = zipfile.ZipInfo(path, (2021, 3, 4, 5, 6, 8))
            info.create_system = zipfile.ZIP_STORED  # 0: made on Windows
            info.external_attr = attrs
            info.compress_type = method
            z.writestr(info, data)
        folder = zipfile.ZipInfo("a/empty/", (2021, 3, 4, 5, 6, 8))
        folder.create_system = 0
        folder.external_attr = 0x10
        z.writestr(folder, b"")


def comment_archives(out):
    body = zipcraft.build([Entry("c.txt", b"comment test")])
    # The signature must start within the last 65535 bytes: 22 + comment.
    write(os.path.join(out, "comment_ok.zip"), body[:-2] + struct.pack("<H", 65000) + b"c" * 65000)
    write(os.path.join(out, "comment_long.zip"), body[:-2] + struct.pack("<H", 65535) + b"c" * 65535)


def broken_archives(out):
    with zipfile.ZipFile(os.path.join(out, "empty.zip"), "w"):
        pass
    good = open(os.path.join(out, "infozip.zip"), "rb").read()
    write(os.path.join(out, "truncated.zip"), good[: len(good) // 2])
    data = bytes(random.Random(7).getrandbits(8) for _ in range(3000)) * 4
    bad = Entry("bad.bin", data)
    # Block type 3 does not exist: inflate must fail on the first byte.
    bad.payload = b"\xff\xff" + bad.payload[2:]
    write(os.path.join(out, "corrupt_deflate.zip"),
          zipcraft.build([Entry("good.txt", b"fine\n"), bad, Entry("after.txt", b"after\n")]))


def attribute_archive(out):
    entries = [
        Entry("windows.txt", b"w", host=zipcraft.WINDOWS, external=0x20),
        Entry("owner_write.txt", b"o", external=(0o100644 << 16)),
        Entry("dos_readonly.txt", b"r", external=(0o100644 << 16) | 0x01),
        Entry("hidden_system.txt", b"h", host=zipcraft.WINDOWS, external=0x06),
        Entry("tool.sh", b"#!/bin/sh\n", external=(0o100755 << 16)),
        Entry("unix_folder/", b"", method=0, external=(0o40755 << 16)),
        Entry("dos_folder/", b"", method=0, host=zipcraft.WINDOWS, external=0x10),
        Entry("mtime_only.txt", b"m", local_extra=zipcraft.ut_extra(mtime=1600000000)),
        Entry("all_times.txt", b"t",
              local_extra=b"XY\x02\x00ab" + zipcraft.ut_extra(1600000000, 1500000000, 1400000000)),
        Entry("ut_truncated.txt", b"u", local_extra=b"UT\x0d\x00\x07\x00\xf1\x53\x5f"),
    ]
    write(os.path.join(out, "attrs.zip"), zipcraft.build(entries))


def windows_programs_archive(out):
    elf = b"\x7fELF\x02\x01\x01" + bytes(57)
    entries = [
        Entry("shell.exe", elf, host=zipcraft.WINDOWS, external=0x20),
        Entry("tools/run.sh", b"#!/bin/sh\necho run\n", host=zipcraft.WINDOWS, external=0x20),
        Entry("notes.txt", b"#not a script, no bang\n", host=zipcraft.WINDOWS, external=0x20),
        Entry("unix_data.bin", elf, external=(0o100644 << 16)),
    ]
    write(os.path.join(out, "windows_programs.zip"), zipcraft.build(entries))


def overlap_archive(out):
    """One 8 MiB local entry of zeros listed twenty times in the central
    directory: a few kilobytes that would unpack to 160 MiB."""
    first = Entry("copy00.bin", bytes(8 * 1024 * 1024))
    body = zipcraft.local_header(first) + first.payload
    records = b""
    for i in range(20):
        listed = copy.copy(first)
        listed.name = b"copy%02d.bin" % i
        records += zipcraft.central_record(listed, 0)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 20, 20, len(records), len(body), 0)
    write(os.path.join(out, "hostile_overlap.zip"), body + records + end)


def hostile_archives(out):
    def save(name, data):
        write(os.path.join(out, name), data)

    climbing = ["../evil1.txt", "a/../../evil2.txt", "/tmp/evil3.txt", "\\evil4.txt",
                "C:/evil5.txt", "c:evil6.txt", "a\\..\\..\\evil7.txt", "..", "a/b/..\\..\\..\\evil8.txt"]
    save("hostile_climb.zip", zipcraft.build(
        [Entry(n, b"escaped") for n in climbing] + [Entry("ok.txt", b"stayed inside\n")]))
    save("hostile_symlink.zip", zipcraft.build([
        Entry("link", b"../outside", method=0, external=(0o120777 << 16)),
        Entry("abslink", b"/etc", method=0, external=(0o120777 << 16)),
        Entry("link/payload.txt", b"through the link"),
        Entry("plain.txt", b"plain"),
    ]))
    long_component = "n" * 300
    deep = "/".join(["d" * 200] * 25) + "/f.txt"
    save("hostile_long.zip", zipcraft.build([
        Entry(long_component + ".txt", b"long"), Entry(deep, b"deep"),
        Entry("short.txt", b"short")]))
    zeros = bytes(8 * 1024 * 1024)
    bomb = Entry("bomb.bin", zeros)
    bomb.usize = 1000
    bomb.crc = zipcraft.zlib.crc32(zeros[:1000])
    save("hostile_bomb.zip", zipcraft.build([bomb]))
    liar = Entry("liar.bin", b"tiny")
    liar.usize = 0xFFFFFFF0
    save("hostile_declared_huge.zip", zipcraft.build([liar]))
    stored_short = Entry("short_stored.bin", b"abc", method=0)
    stored_short.usize = 100
    save("hostile_stored_short.zip", zipcraft.build([stored_short]))
    # Structural lies: each must be refused at open or at read, never crash.
    one = [Entry("x.txt", b"x" * 100)]
    save("hostile_dir_offset.zip", zipcraft.build(one, dir_offset=0x7FFFFFFF))
    save("hostile_dir_size.zip", zipcraft.build(one, dir_size=0xFFFFFF))
    save("hostile_count.zip", zipcraft.build(one, count=60000))
    save("hostile_multidisk.zip", zipcraft.build(one, disk=1))
    save("hostile_local_offset.zip", zipcraft.build([Entry("x.txt", b"x", offset=0x7FFFFF00)]))
    save("hostile_csize.zip", zipcraft.build([Entry("x.txt", b"x" * 100, csize=0x7FFFFFFF)]))
    save("hostile_local_name.zip", zipcraft.build([Entry("x.txt", b"x", local_name=b"yy.txt")]))
    save("hostile_method.zip", zipcraft.build([Entry("x.txt", b"x", method=12)]))
    save("hostile_extra_len.zip", zipcraft.build(
        [Entry("x.txt", b"x", local_extra=b"UT\xff\x7f\x01")]))
    nul = Entry(b"nul\x00/../../evil9.txt", b"nul")
    save("hostile_nul.zip", zipcraft.build([nul]))


def main():
    out = sys.argv[1]
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(out)
    make_tree(os.path.join(out, "src"))
    infozip(out, os.path.join(out, "src"))
    python_zip(out, "py_stored.zip", zipfile.ZIP_STORED)
    python_zip(out, "py_deflated.zip", zipfile.ZIP_DEFLATED)
    comment_archives(out)
    broken_archives(out)
    attribute_archive(out)
    windows_programs_archive(out)
    hostile_archives(out)
    overlap_archive(out)


if __name__ == "__main__":
    main()
