#!/usr/bin/env python3
"""Time from process start to the launcher window's first painted frame.

usage: first_frame.py LAUNCHER [--runs N]

Starts the launcher N times (default 20) on the current DISPLAY (run it under
scripts/with-display.sh when there is none), each with a fresh data and
runtime folder, reads its log until the "window painted" line (written when
the first frame has been drawn) and ends it. Prints min, median, p90 and max
in milliseconds. No gateway is needed: the frame comes before any answer.
"""
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def one_run(launcher):
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ)
        env["XDG_DATA_HOME"] = os.path.join(tmp, "data")
        env["XDG_RUNTIME_DIR"] = os.path.join(tmp, "run")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        start = time.perf_counter()
        proc = subprocess.Popen([launcher], stderr=subprocess.PIPE, env=env)
        elapsed = None
        try:
            for line in proc.stderr:
                if line.startswith(b"window painted"):
                    elapsed = (time.perf_counter() - start) * 1000.0
                    break
        finally:
            proc.send_signal(signal.SIGTERM)
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        return elapsed


def main(argv):
    if not argv or argv[0] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if argv else 2
    launcher = argv[0]
    runs = int(argv[argv.index("--runs") + 1]) if "--runs" in argv else 20
    if not os.environ.get("DISPLAY"):
        print("first_frame: no DISPLAY (run under scripts/with-display.sh)", file=sys.stderr)
        return 1
    one_run(launcher)  # warm the file cache once
    times = []
    for _ in range(runs):
        t = one_run(launcher)
        if t is None:
            print("first_frame: the launcher never painted", file=sys.stderr)
            return 1
        times.append(t)
    times.sort()
    p90 = times[min(len(times) - 1, int(len(times) * 0.9))]
    print(f"first painted frame over {runs} runs: min {times[0]:.1f} ms, median {statistics.median(times):.1f} ms, "
          f"p90 {p90:.1f} ms, max {times[-1]:.1f} ms (target < 150 ms)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
