#!/usr/bin/env python3
"""Browser start to the first bridge reply in the demo shell.

Starts the demo shell (a GTK window with a WebKitGTK view and the render
helper's extension) in a version folder, and takes the time from just
before the process is started until the page has had the shell's reply to
its first TKInvoke and said so (the shell writes "page talked to the shell
after N ms" to its status file). Then ends that shell and starts the next.

    first_reply.py SHELL [--runs N]
"""
import argparse
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time

PATTERN = re.compile(r"page talked to the shell after (\d+) ms")


def one_run(shell, work, index):
    folder = os.path.join(work, "bin", "1.0.%d" % index)
    os.makedirs(folder)
    status = os.path.join(work, "status-%d" % index)
    env = dict(os.environ, DEMO_SHELL_STATUS=status, DEMO_SHELL_STAY_MS="60000",
               DEMO_SHELL_T0_NS=str(time.monotonic_ns()))
    proc = subprocess.Popen([shell, "--CliMode=teacher"], cwd=folder, env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            if os.path.exists(status):
                with open(status) as f:
                    found = PATTERN.search(f.read())
                if found:
                    return int(found.group(1))
            if proc.poll() is not None:
                sys.exit("first_reply: the shell ended early (exit %s)" % proc.returncode)
            time.sleep(0.05)  # the shell times itself; polling only costs CPU
        sys.exit("first_reply: no bridge reply within 60 s")
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=30)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("shell")
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()
    args.shell = os.path.abspath(args.shell)  # it runs in a version folder of its own
    with tempfile.TemporaryDirectory(prefix="first-reply-") as work:
        runtime = os.path.join(work, "run")
        os.mkdir(runtime, 0o700)
        os.environ["XDG_RUNTIME_DIR"] = runtime  # the shell's mutex, apart from any other shell
        times = sorted(one_run(args.shell, work, i) for i in range(args.runs))
    p90 = times[min(len(times) - 1, int(round(0.9 * (len(times) - 1))))]
    print("browser start to first bridge reply: min %d ms, median %.0f ms, p90 %d ms (%s)"
          % (times[0], statistics.median(times), p90, " ".join(map(str, times))))


if __name__ == "__main__":
    main()
