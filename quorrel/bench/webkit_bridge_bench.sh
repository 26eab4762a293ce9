#!/bin/sh
# TKInvoke round trips through WebKitGTK's messages (a page in a real web
# view with the helper's extension), beside the Duktape helper's through
# its pipe, in one run. Needs a display (bench/run-all.sh provides one).
#   quorrel/bench/webkit_bridge_bench.sh [round trips] [window]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${BENCH_BUILD:-${BUILD:-$root/build}}"
[ -n "${BENCH_BUILD:-}" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target quorrel_webkit_bench quorrel_bridge_bench >/dev/null
trips=${1:-5000}
[ "${BENCH_QUICK:-0}" = 1 ] && trips=${1:-500}
window=${2:-16}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$build/quorrel/quorrel_bridge_bench" "$trips" "$window" | tee "$out"
"$build/quorrel/quorrel_webkit_bench" "$trips" "$window" | tee -a "$out"
awk -v n="$trips" -v w="$window" '
  /^TKInvoke.*one at a time:/ { sub(/.*time: +/, ""); duk1 = $1 }
  /^TKInvoke.*in flight:/ { sub(/.*flight: +/, ""); dukw = $1 }
  /^WebKitGTK.*one at a time:/ { sub(/.*time: +/, ""); wk1 = $1 }
  /^WebKitGTK.*in flight:/ { sub(/.*flight: +/, ""); wkw = $1 }
  END {
    printf "BENCH|TKInvoke -> reply -> callback through WebKitGTK messages, one at a time|%d round trips|%s|Duktape helper, pipe|%s|/s|-\n", n, wk1, duk1
    printf "BENCH|TKInvoke -> reply -> callback through WebKitGTK messages, %d in flight|%d round trips|%s|Duktape helper, pipe|%s|/s|-\n", w, n, wkw, dukw
  }' "$out"
