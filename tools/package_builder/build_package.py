#!/usr/bin/env python3
"""Builds a client package from a version folder.

  build_package.py FOLDER OUT.zip [--mkmanifest PATH] [--keep-manifest] [--sign KEY]

Writes FOLDER/md5.json with the manifest tool (unless --keep-manifest and one
is there), then OUT.zip (deflated, entry names relative to FOLDER, the
executable bits kept) and OUT.zip.md5 (the package digest as the gateway
publishes it), and prints the digest. The zip is written under a temporary
name and renamed when complete, so a half-written package never looks
finished.

With --sign KEY (an Ed25519 private key in PEM, as make_keys.sh makes it) the
SHA-256 of OUT.zip is signed too: the base64 signature goes to OUT.zip.sig and
a second line prints the reply member, "signature": "<base64>", for the
version reply. Launchers built with the matching LAUNCHER_PACKAGE_PUBLIC_KEY
accept no package without it.
"""
import base64
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile
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


def digest_of(path, algorithm):
    digest = hashlib.new(algorithm)
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest


def check_signing_key(key):
    if not os.path.isfile(key):
        fail("no such key: " + key)
    kind = subprocess.run(["openssl", "pkey", "-in", key, "-noout", "-text"], capture_output=True, text=True)
    if kind.returncode != 0 or not kind.stdout.startswith("ED25519 Private-Key"):
        fail("not an Ed25519 private key: " + key)


def sign(package, key):
    """The base64 Ed25519 signature of the package's SHA-256 (openssl does the signing)."""
    with tempfile.NamedTemporaryFile() as message:
        message.write(digest_of(package, "sha256").digest())
        message.flush()
        result = subprocess.run(["openssl", "pkeyutl", "-sign", "-rawin", "-inkey", key, "-in", message.name],
                                capture_output=True)
    if result.returncode != 0 or len(result.stdout) != 64:
        fail("signing failed: " + (result.stderr.decode(errors="replace").strip() or "no signature"))
    return base64.b64encode(result.stdout).decode()


def main(argv):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("folder")
    p.add_argument("out")
    p.add_argument("--mkmanifest", help="path of the manifest tool")
    p.add_argument("--keep-manifest", action="store_true", help="use the folder's md5.json as it is")
    p.add_argument("--sign", metavar="KEY", help="Ed25519 private key (PEM) to sign the package with")
    args = p.parse_args(argv)
    if not os.path.isdir(args.folder):
        fail("not a folder: " + args.folder)
    if not os.path.isfile(os.path.join(args.folder, "tarkel.shell.exe")):
        fail("the folder has no tarkel.shell.exe at its root")
    if args.sign:
        check_signing_key(args.sign)
    for stale in (args.out + ".md5", args.out + ".sig"):
        if os.path.exists(stale):
            os.remove(stale)  # never beside a package they do not belong to
    if not (args.keep_manifest and os.path.isfile(os.path.join(args.folder, "md5.json"))):
        write_manifest(args.folder, args.mkmanifest)
    zip_folder(args.folder, args.out)
    digest = digest_of(args.out, "md5").hexdigest()
    signature = sign(args.out, args.sign) if args.sign else None
    with open(args.out + ".md5", "w") as f:
        f.write(digest + "\n")
    if signature:
        with open(args.out + ".sig", "w") as f:
            f.write(signature + "\n")
    print(digest)
    if signature:
        print('"signature": "%s"' % signature)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
