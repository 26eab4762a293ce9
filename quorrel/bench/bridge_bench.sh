#!/bin/sh
# Builds and runs the bridge round-trip benchmark in a release build.
#   quorrel/bench/bridge_bench.sh [round trips] [window]
set -eu
target=quorrel_bridge_bench
. "$(dirname "$0")/build_target.sh"
trips=${1:-20000}
[ "${BENCH_QUICK:-0}" = 1 ] && trips=${1:-2000}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$build/quorrel/quorrel_bridge_bench" "$trips" ${2:+"$2"} | tee "$out"
# Result lines for bench/run-all.sh: a bare pipe ping/pong is the yardstick.
awk -v n="$trips" -v w="${2:-16}" '
  /^pipe ping/ { sub(/.*: +/, ""); ping = $1 }
  /one at a time:/ && /TKInvoke/ { sub(/.*time: +/, ""); one = $1 }
  /in flight:/ { sub(/.*flight: +/, ""); many = $1 }
  END {
    printf "BENCH|TKInvoke -> reply -> callback, one at a time|%d round trips|%s|pipe ping/pong|%s|/s|ours>=20000\n", n, one, ping
    printf "BENCH|TKInvoke -> reply -> callback, %d in flight|%d round trips|%s|pipe ping/pong|%s|/s|ours>=20000\n", w, n, many, ping
  }' "$out"
