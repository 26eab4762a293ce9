#!/usr/bin/env bash
# All three comparisons in one run: unzip (which leaves the unpacked
# package), MD5 of a 512 MiB file, and the manifest check.
#   run_bench.sh [WORKDIR] [ROUNDS]   (WORKDIR needs ~1.5 GB)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
work=${1:-/tmp/kit-bench}
rounds=${2:-5}
mkdir -p "$work"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build-bench" -j2 --target unzip_bench md5_file_bench check_bench mkmanifest >/dev/null
python3 "$root/launcher/zip/bench/bench_unzip.py" "$root/build-bench" "$work" "$rounds"
python3 "$root/launcher/manifest/bench/bench_manifest.py" "$root/build-bench" "$work" "$rounds"
