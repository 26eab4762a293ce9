#!/usr/bin/env bash
# Builds the benchmark driver in a Release folder and runs the unzip
# comparison.   unzip_bench.sh [WORKDIR] [ROUNDS]   (WORKDIR needs ~1 GB)
# bench-runner: skip (launcher/manifest/bench/manifest_bench.sh runs the same unzip comparison)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-/tmp/kit-bench}
mkdir -p "$work"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build-bench" -j2 --target unzip_bench >/dev/null
python3 "$root/zip/bench/bench_unzip.py" "$root/build-bench" "$work" "${2:-5}"
