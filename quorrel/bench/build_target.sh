#!/bin/sh
# bench-runner: skip (sourced by the benchmark scripts beside it)
# Builds the benchmark target named in $target and sets $build to its
# build folder: the runner's release build when it gives one, else ./build
# (RelWithDebInfo).
#   target=NAME; . "$(dirname "$0")/build_target.sh"
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${BENCH_BUILD:-${BUILD:-$root/build}}"
[ -n "${BENCH_BUILD:-}" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target "$target" >/dev/null
