#!/bin/sh
# Builds and runs the renderer memory benchmark in a release build: resident
# size after many navigations against after 1,000, and the cost of the
# largest event the pipe takes and of an oversized one it refuses.
#   quorrel/bench/memory_bench.sh [navigations]
set -eu
target=quorrel_memory_bench
. "$(dirname "$0")/build_target.sh"
navigations=${1:-100000}
[ "${BENCH_QUICK:-0}" = 1 ] && navigations=${1:-10000}
"$build/quorrel/quorrel_memory_bench" "$navigations"
