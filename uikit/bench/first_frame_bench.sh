#!/usr/bin/env bash
# Builds and runs the first-frame benchmark in an optimised build folder.
#   uikit/bench/first_frame_bench.sh [iterations]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-${BUILD:-$root/build-bench}}
count=${1:-50}
[[ "${BENCH_QUICK:-0}" == 1 ]] && count=${1:-10}
[[ -n "${BENCH_BUILD:-}" ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target uikit_skin_bench >/dev/null
out=$(mktemp)
warm=$(mktemp)
trap 'rm -f "$out" "$warm"' EXIT
"$build/uikit/bench/uikit_skin_bench" "$count" | tee "$out"
"$build/uikit/bench/uikit_skin_bench" --prewarm "$count" | tee "$warm"
# Result lines for bench/run-all.sh. The launcher starts the font system on a
# thread of its own while the display opens, so its first window is the
# prewarmed one; the cold figure (fontconfig's start-up on the window's own
# path) is shown beside it.
first() { sed -n 's/.*first window of the process (linked archive): \([0-9.]*\) ms.*/\1/p' "$1"; }
awk -v n="$count" -v cold="$(first "$out")" -v warm="$(first "$warm")" '
  /^linked archive, median/ { sub(/.*: /, ""); zip = $1 }
  /^skin folder, +median/ { sub(/.*: /, ""); dir = $1 }
  END {
    printf "BENCH|skin load + first frame, first window of the process, fonts started as the launcher does|launcher-sized skin|%s|font system cold|%s|ms|ours<=20\n", warm, cold
    printf "BENCH|skin load + first frame from the linked archive, median of %d|launcher-sized skin|%s|skin folder|%s|ms|ours<=20\n", n, zip, dir
  }' "$out"
