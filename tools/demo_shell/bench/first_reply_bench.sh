#!/usr/bin/env bash
# Browser start to the first bridge reply in the demo shell, for
# bench/run-all.sh (which provides the display).
#   tools/demo_shell/bench/first_reply_bench.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=${1:-${BENCH_BUILD:-$root/build-bench}}
runs=10
[[ "${BENCH_QUICK:-0}" == 1 ]] && runs=3
cmake --build "$build" --target demo_shell -j2 >/dev/null
line=$(python3 "$root/tools/demo_shell/bench/first_reply.py" "$build/tools/demo_shell/demo_shell" --runs "$runs")
echo "$line"
median=$(echo "$line" | sed -n 's/.*median \([0-9.]*\) ms.*/\1/p')
p90=$(echo "$line" | sed -n 's/.*p90 \([0-9.]*\) ms.*/\1/p')
echo "BENCH|browser start to first bridge reply (demo shell, WebKitGTK, Xvfb), median of $runs|demo page|$median|-|-|ms|ours<=1000"
echo "BENCH|browser start to first bridge reply, 90th percentile of $runs|demo page|$p90|-|-|ms|-"
