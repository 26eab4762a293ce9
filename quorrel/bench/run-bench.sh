#!/bin/sh
# Builds and runs the bridge round-trip benchmark in a release build.
#   quorrel/bench/run-bench.sh [round trips] [window]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${BUILD:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target quorrel_bridge_bench >/dev/null
exec "$build/quorrel/quorrel_bridge_bench" "$@"
