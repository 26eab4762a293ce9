"""Makes a benchmark package like a shell version: about 3,000 files of
mixed sizes, about 300 MB, compressible roughly 2:1, packed with Info-ZIP
zip (deflated), with tarkel.shell.exe at the top.

  make_package.py WORKDIR   ->  WORKDIR/package/ and WORKDIR/package.zip
Reuses an existing package.zip."""
import os
import random
import subprocess
import sys

QUICK = os.environ.get("BENCH_QUICK") == "1"  # a tenth of the size, to check the runner
FILES = 300 if QUICK else 3000
TOTAL = (30 if QUICK else 300) * 1000 * 1000


def main():
    work = sys.argv[1]
    tree = os.path.join(work, "package")
    archive = os.path.join(work, "package.zip")
    if os.path.exists(archive):
        return
    rng = random.Random(300)
    # 16 symbols of random bytes: about 4 bits of entropy per byte, so
    # deflate has real work on every file.
    table = bytes.maketrans(bytes(range(256)), bytes((i % 16) * 13 + 7 for i in range(256)))
    base = os.urandom(16 * 1024 * 1024).translate(table)
    sizes = [rng.lognormvariate(0, 1.2) for _ in range(FILES)]
    scale = TOTAL / sum(sizes)
    for index, weight in enumerate(sizes):
        size = max(1, min(int(weight * scale), len(base) - 1))
        folder = os.path.join(tree, "bin" if index % 3 else "res", "part%02d" % (index % 40))
        os.makedirs(folder, exist_ok=True)
        name = "file%04d.%s" % (index, ("dll", "pak", "so", "dat")[index % 4])
        start = rng.randrange(0, len(base) - size)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"%d\n" % index + base[start:start + size])
    with open(os.path.join(tree, "tarkel.shell.exe"), "wb") as f:
        f.write(base[:2_000_000])
    subprocess.run(["zip", "-q", "-r", archive, "."], cwd=tree, check=True)


if __name__ == "__main__":
    main()
