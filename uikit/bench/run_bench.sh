#!/usr/bin/env bash
# Builds and runs the first-frame benchmark in an optimised build folder.
#   uikit/bench/run_bench.sh [iterations]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target uikit_skin_bench >/dev/null
"$build/uikit/bench/uikit_skin_bench" "${1:-50}"
"$build/uikit/bench/uikit_skin_bench" --prewarm "${1:-50}"
