"""A fresh install through the real launcher against curl + md5sum + unzip +
md5sum -c on the same package; see update_road_bench.sh.

  update_road.py BUILD_DIR WORKDIR ROUNDS

The package is the zip benchmark's tree (zip/bench/make_package.py)
with the demo shell as tarkel.shell.exe and a manifest of every file, packed
and signed by the package builder with the build's key. Each round removes
what the previous one installed (untimed, then sync), so every install is a
fresh one into an empty data folder."""
import json
import os
import resource
import shutil
import statistics
import subprocess
import sys
import threading
import time

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.abspath(os.path.join(here, "..", "..", ".."))
PRIMARY, FALLBACK = 38491, 38492
VERSION = "1.0.0"
LAUNCH_LIMIT = 300  # seconds; a launcher that fails waits for a click forever


def fail(message):
    sys.exit("update_road: " + message)


def make_package(build, work):
    """work/road.zip (+ .sig) and work/md5sum.list; rebuilt when the key changed."""
    keys = os.path.join(build, "launcher-keys")
    with open(os.path.join(keys, "package-signing.pub")) as f:
        key = f.read()
    archive, stamp = os.path.join(work, "road.zip"), os.path.join(work, "road.key")
    listing = os.path.join(work, "md5sum.list")
    if os.path.exists(stamp) and open(stamp).read() == key and os.path.exists(listing):
        return archive, listing
    subprocess.run([sys.executable, os.path.join(root, "zip", "bench", "make_package.py"), work],
                   check=True)
    tree = os.path.join(work, "package")
    shell = os.path.join(tree, "tarkel.shell.exe")
    os.remove(shell)
    shutil.copy(os.path.join(build, "tools", "demo_shell", "demo_shell"), shell)
    subprocess.run([os.path.join(build, "tools", "mkmanifest", "mkmanifest"), "--all", tree], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([sys.executable, os.path.join(root, "tools", "package_builder", "build_package.py"), tree, archive,
                    "--keep-manifest", "--sign", os.path.join(keys, "package-signing.key")],
                   check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(tree, "md5.json")) as f:
        items = json.load(f)
    with open(listing, "w") as f:
        for item in items:
            f.write("%s  %s\n" % (item["md5"], item["file"].replace("\\", "/")))
    with open(stamp, "w") as f:
        f.write(key)
    return archive, listing


def start_gateway(build, work, archive):
    ready = os.path.join(work, "gateway.json")
    if os.path.exists(ready):
        os.remove(ready)
    log = open(os.path.join(work, "gateway.log"), "w")
    gateway = subprocess.Popen(
        [sys.executable, os.path.join(root, "tools", "demo_gateway", "demo_gateway.py"),
         "--primary-port", str(PRIMARY), "--fallback-port", str(FALLBACK), "--version", VERSION,
         "--package", archive, "--cert-dir", os.path.join(build, "launcher-keys"), "--ready-file", ready],
        stdout=log, stderr=log)
    for _ in range(600):  # the gateway reads the whole package first
        if os.path.exists(ready) or gateway.poll() is not None:
            break
        time.sleep(0.05)
    if not os.path.exists(ready):
        gateway.kill()
        fail("the demo gateway did not start (ports %d/%d taken?): %s"
             % (PRIMARY, FALLBACK, open(os.path.join(work, "gateway.log")).read()[-500:]))
    with open(ready) as f:
        ports = json.load(f)
    return gateway, "http://127.0.0.1:%d/pkg/a/%s.zip" % (ports["package"], VERSION), ports["md5"]


def children_cpu():
    """User + system seconds of all waited-for children so far."""
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def clean(*paths):
    for path in paths:
        shutil.rmtree(path, ignore_errors=True)
        if os.path.isfile(path):
            os.remove(path)
    os.sync()


def baseline(work, url, listing, md5):
    package, folder, out = (os.path.join(work, n) for n in ("curl.zip", "unzipped", "baseline.out"))
    clean(package, folder)
    command = ("curl -s -o {p} {u} && md5sum {p} && unzip -qo {p} -d {d} && cd {d} && md5sum -c --quiet {l}"
               .format(p=package, u=url, d=folder, l=listing))
    cpu = children_cpu()
    start = time.perf_counter()
    with open(out, "w") as f:
        result = subprocess.run(["bash", "-c", command], stdout=f, stderr=subprocess.STDOUT)
    elapsed = time.perf_counter() - start
    text = open(out).read()
    if result.returncode != 0 or not text.startswith(md5):
        fail("the baseline failed: " + text[-500:])
    return elapsed, children_cpu() - cpu


def ours(build, work):
    data, run = os.path.join(work, "data"), os.path.join(work, "run")
    clean(data, run)
    os.makedirs(data)
    os.makedirs(run, mode=0o700)
    record = os.path.join(work, "shell.jsonl")
    if os.path.exists(record):
        os.remove(record)
    env = dict(os.environ, XDG_DATA_HOME=data, XDG_RUNTIME_DIR=run, DEMO_SHELL_RECORD=record,
               DEMO_SHELL_WINDOW="0", DEMO_SHELL_STAY_MS="0")
    lines = []
    cpu = children_cpu()
    start = time.perf_counter()
    launcher = subprocess.Popen([os.path.join(build, "launcher", "app", "launcher_bench")], env=env,
                                stderr=subprocess.PIPE, text=True)

    def read():  # the log with the time each line came, to show where the time goes
        for line in launcher.stderr:
            lines.append("%7.3f %s" % (time.perf_counter() - start, line.rstrip()[:160]))
    reader = threading.Thread(target=read)
    reader.start()
    try:
        launcher.wait(timeout=LAUNCH_LIMIT)
    except subprocess.TimeoutExpired:
        launcher.kill()
    elapsed = time.perf_counter() - start
    cpu = children_cpu() - cpu
    reader.join()
    log = "\n".join(lines)
    if launcher.returncode != 0 or "done with exe" not in log or not os.path.exists(record):
        fail("the launcher did not install and start the shell:\n" + log[-3000:])
    return elapsed, cpu, log


def main():
    build, work, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
    archive, listing = make_package(build, work)
    files = sum(1 for _ in open(listing))
    gateway, url, md5 = start_gateway(build, work, archive)
    try:
        ours_times, base_times, ours_cpu, base_cpu = [], [], [], []
        for r in range(rounds):
            elapsed, cpu = baseline(work, url, listing, md5)
            base_times.append(elapsed)
            base_cpu.append(cpu)
            elapsed, cpu, log = ours(build, work)
            ours_times.append(elapsed)
            ours_cpu.append(cpu)
            print("round %d: launcher %.3f s (%.2f s CPU), baseline %.3f s (%.2f s CPU)"
                  % (r + 1, elapsed, cpu, base_times[-1], base_cpu[-1]))
            print(log)
        clean(os.path.join(work, "data"), os.path.join(work, "unzipped"), os.path.join(work, "curl.zip"))
    finally:
        gateway.terminate()
        gateway.wait()
    a, b = statistics.median(ours_times), statistics.median(base_times)
    print("update road: launcher %.3f s, curl + md5sum + unzip + md5sum -c %.3f s, ratio %.3f (target <= 0.8)"
          % (a, b, a / b))
    size = os.path.getsize(archive) / 1e6
    print("BENCH|fresh install through the launcher, query to started shell, pins + signature on, median of %d"
          "|%.0f MB package, %d files|%.3f|curl -o + md5sum + unzip -qo + md5sum -c|%.3f|s|ratio<=0.8"
          % (rounds, size, files, a, b))
    # CPU seconds say how much work each road does, whatever else runs on
    # the machine: a busy machine lends the launcher's second thread less.
    print("BENCH|fresh install through the launcher, CPU seconds (user + system), median of %d"
          "|%.0f MB package, %d files|%.2f|curl -o + md5sum + unzip -qo + md5sum -c|%.2f|s|-"
          % (rounds, size, files, statistics.median(ours_cpu), statistics.median(base_cpu)))


if __name__ == "__main__":
    main()
