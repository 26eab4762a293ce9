#!/usr/bin/env python3
"""Builds a client package from a version folder.

  build_package.py FOLDER OUT.zip [--mkmanifest PATH] [--keep-manifest]

Writes FOLDER/md5.json with the manifest tool (unless --keep-manifest and one
is there), then OUT.zip (deflated, entry names relative to FOLDER, the
executable bits kept) and OUT.zip.md5 (the package digest as the gateway
publishes it). The zip is written under a temporary name and renamed when
complete, so a half-written package never looks finished.
"""
import argparse
import hashlib
import os
import subprocess
import sys
import zipfile


def fail(message):
    print("build_package: " + message, file=sys.stderr)
    sys.exit(1)


def write_manifest(folder, tool):
    if not tool:
        fail("no manifest tool given (--mkmanifest PATH) and no --keep-manifest")
    result = subprocess.run([tool, folder], capture_output=True, text=True)
    if result.returncode != 0:
        fail("manifest tool failed: " + (result.stderr.strip() or "exit %d" % result.returncode))


def zip_folder(folder, out):
    partial = out + ".partial"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as archive:
        for root, dirs, files in os.walk(folder):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(root, name)
                archive.write(path, os.path.relpath(path, folder))
    os.replace(partial, out)


def md5_of(path):
    digest = hashlib.md5()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def main(argv):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("folder")
    p.add_argument("out")
    p.add_argument("--mkmanifest", help="path of the manifest tool")
    p.add_argument("--keep-manifest", action="store_true", help="use the folder's md5.json as it is")
    args = p.parse_args(argv)
    if not os.path.isdir(args.folder):
        fail("not a folder: " + args.folder)
    if not os.path.isfile(os.path.join(args.folder, "tarkel.shell.exe")):
        fail("the folder has no tarkel.shell.exe at its root")
    if not (args.keep_manifest and os.path.isfile(os.path.join(args.folder, "md5.json"))):
        write_manifest(args.folder, args.mkmanifest)
    zip_folder(args.folder, args.out)
    digest = md5_of(args.out)
    with open(args.out + ".md5", "w") as f:
        f.write(digest + "\n")
    print(digest)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
