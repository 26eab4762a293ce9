#!/usr/bin/env bash
# Process start to the launcher window's first painted frame, for
# bench/run-all.sh (which provides the display).
#   launcher/window/bench/first_frame_bench.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=${1:-${BENCH_BUILD:-$root/build-bench}}
runs=20
[[ "${BENCH_QUICK:-0}" == 1 ]] && runs=5
cmake --build "$build" --target launcher -j2 >/dev/null
line=$(python3 "$root/launcher/window/bench/first_frame.py" "$build/launcher/app/launcher" --runs "$runs")
echo "$line"
echo "$line" | sed -n 's/.*min \([0-9.]*\) ms, median \([0-9.]*\) ms, p90 \([0-9.]*\) ms.*/\1 \2 \3/p' | {
  read -r min median p90
  echo "BENCH|process start to first painted frame (launcher window, Xvfb), median of $runs|launcher skin|$median|-|-|ms|ours<=150"
  echo "BENCH|process start to first painted frame, 90th percentile of $runs|launcher skin|$p90|-|-|ms|ours<=150"
}
