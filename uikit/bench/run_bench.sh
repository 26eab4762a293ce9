#!/usr/bin/env bash
# Builds and runs the first-frame benchmark in an optimised build folder.
#   uikit/bench/run_bench.sh [iterations]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-${BUILD:-$root/build-bench}}
count=${1:-50}
[[ "${BENCH_QUICK:-0}" == 1 ]] && count=${1:-10}
[[ -n "${BENCH_BUILD:-}" ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target uikit_skin_bench >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$build/uikit/bench/uikit_skin_bench" "$count" | tee "$out"
"$build/uikit/bench/uikit_skin_bench" --prewarm "$count"
# Result lines for bench/run-all.sh: the cold first window is what a user
# sees; the folder-loaded skin is the yardstick for the archive.
awk -v n="$count" '
  /^first window of the process/ { sub(/.*archive\): /, ""); first = $1 }
  /^linked archive, median/ { sub(/.*: /, ""); zip = $1 }
  /^skin folder, +median/ { sub(/.*: /, ""); dir = $1 }
  END {
    printf "BENCH|skin load + first frame, first window of the process|launcher-sized skin|%s|-|-|ms|ours<=20\n", first
    printf "BENCH|skin load + first frame from the linked archive, median of %d|launcher-sized skin|%s|skin folder|%s|ms|ours<=20\n", n, zip, dir
  }' "$out"
