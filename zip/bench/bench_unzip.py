"""UnzipToFolder against `unzip -qo` on the same package into an empty
folder, alternating, several rounds; prints both medians and the ratio
(ours / unzip, goal <= 1.1).

  bench_unzip.py BUILD_DIR WORKDIR [ROUNDS]"""
import os
import shutil
import statistics
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)


def main():
    build, work = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    subprocess.run([sys.executable, os.path.join(here, "make_package.py"), work], check=True)
    archive = os.path.join(work, "package.zip")
    ours_exe = os.path.join(build, "zip", "unzip_bench")
    subprocess.run(["cat", archive], stdout=subprocess.DEVNULL, check=True)  # page cache
    ours, theirs = [], []
    for _ in range(rounds):
        fresh(os.path.join(work, "u_theirs"))
        theirs.append(timed(["unzip", "-qo", archive, "-d", os.path.join(work, "u_theirs")]))
        shutil.rmtree(os.path.join(work, "u_ours"), ignore_errors=True)  # UnzipToFolder makes it
        ours.append(timed([ours_exe, archive, os.path.join(work, "u_ours")]))
    diff = subprocess.run(["diff", "-r", os.path.join(work, "u_ours"), os.path.join(work, "u_theirs")])
    a, b = statistics.median(ours), statistics.median(theirs)
    print("unzip: UnzipToFolder %.3f s, unzip -qo %.3f s, ratio %.3f (goal <= 1.1)%s"
          % (a, b, a / b, "" if diff.returncode == 0 else "  TREES DIFFER"))
    if diff.returncode != 0:
        sys.exit("bench_unzip: the unpacked trees differ")
    size = os.path.getsize(archive) / 1e6
    print("BENCH|UnzipToFolder into an empty folder, median of %d|%.0f MB package|%.4f|unzip -qo|%.4f|s|ratio<=1.1"
          % (rounds, size, a, b))


if __name__ == "__main__":
    main()
