"""Md5OfFile against md5sum on a 512 MiB file in the page cache (goal:
throughput >= 0.9x md5sum, i.e. time ratio <= 1.11), and
CheckInstalledFiles against `md5sum -c` over the same files of an unpacked
package (goal: time ratio <= 1.1). Alternating runs, medians.

  bench_manifest.py BUILD_DIR WORKDIR [ROUNDS]
WORKDIR/u_ours must hold the unpacked package (bench_unzip.py leaves it)."""
import json
import os
import statistics
import subprocess
import sys
import time


def timed(command, **kwargs):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, **kwargs)
    return time.perf_counter() - start


def compare(ours_cmd, theirs_cmd, rounds, **kwargs):
    ours, theirs = [], []
    for _ in range(rounds):
        theirs.append(timed(theirs_cmd, **kwargs))
        ours.append(timed(ours_cmd, **kwargs))
    a, b = statistics.median(ours), statistics.median(theirs)
    return a, b


def main():
    build, work = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    mib = 64 if os.environ.get("BENCH_QUICK") == "1" else 512
    big = os.path.join(work, "md5_%dm.bin" % mib)
    if not os.path.exists(big) or os.path.getsize(big) != mib << 20:
        with open(big, "wb") as f:
            for _ in range(mib):
                f.write(os.urandom(1 << 20))
    subprocess.run(["cat", big], stdout=subprocess.DEVNULL, check=True)
    md5_exe = os.path.join(build, "launcher", "manifest", "md5_file_bench")
    ours = subprocess.run([md5_exe, big], capture_output=True, text=True).stdout.split()[0]
    theirs = subprocess.run(["md5sum", big], capture_output=True, text=True).stdout.split()[0]
    assert ours == theirs, (ours, theirs)
    a, b = compare([md5_exe, big], ["md5sum", big], rounds)
    print("md5: Md5OfFile %.3f s (%.0f MiB/s), md5sum %.3f s (%.0f MiB/s), throughput ratio %.3f (goal >= 0.9)"
          % (a, mib / a, b, mib / b, b / a))
    # As a time ratio: throughput >= 0.9x md5sum is time <= 1/0.9.
    print("BENCH|Md5OfFile, page cache, median of %d|%d MiB|%.4f|md5sum|%.4f|s|ratio<=1.111" % (rounds, mib, a, b))

    folder = os.path.join(work, "u_ours")
    subprocess.run([os.path.join(build, "tools", "mkmanifest", "mkmanifest"), "--all", folder],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The same files for md5sum -c, paths relative to the folder.
    listing = os.path.join(work, "md5sum.list")
    with open(os.path.join(folder, "md5.json")) as f:
        items = json.load(f)
    with open(listing, "w") as f:
        for item in items:
            f.write("%s  %s\n" % (item["md5"], item["file"].replace("\\", "/")))
    subprocess.run("find %s -type f -exec cat {} + >/dev/null" % folder, shell=True, check=True)
    check_exe = os.path.join(build, "launcher", "manifest", "check_bench")
    a, b = compare([check_exe, folder], ["md5sum", "-c", "--quiet", listing], rounds,
                   cwd=folder, stderr=subprocess.DEVNULL)
    print("check: CheckInstalledFiles %.3f s, md5sum -c %.3f s over %d files, ratio %.3f (goal <= 1.1)"
          % (a, b, len(items), a / b))
    print("BENCH|CheckInstalledFiles, full manifest, median of %d|%d files|%.4f|md5sum -c|%.4f|s|ratio<=1.1"
          % (rounds, len(items), a, b))


if __name__ == "__main__":
    main()
