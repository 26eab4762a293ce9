#!/usr/bin/env bash
# All three comparisons in one run: unzip (which leaves the unpacked
# package), MD5 of a 512 MiB file, and the manifest check.
#   manifest_bench.sh [WORKDIR] [ROUNDS]   (WORKDIR needs ~1.5 GB)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
#   BENCH_QUICK=1: a 30 MB package, a 64 MiB file, two rounds.
work=${1:-${BENCH_WORK:-/tmp/kit-bench}}
rounds=${2:-5}
[[ "${BENCH_QUICK:-0}" == 1 ]] && rounds=${2:-2}
build=${BENCH_BUILD:-$root/build-bench}
mkdir -p "$work"
[[ -n "${BENCH_BUILD:-}" ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target unzip_bench md5_file_bench check_bench mkmanifest >/dev/null
python3 "$root/zip/bench/bench_unzip.py" "$build" "$work" "$rounds"
python3 "$root/launcher/manifest/bench/bench_manifest.py" "$build" "$work" "$rounds"
