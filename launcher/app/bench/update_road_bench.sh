#!/usr/bin/env bash
# The whole update road against the same work done by stock tools: a fresh
# install of the benchmark package (about 3,000 files, 174 MB zipped) by the
# real launcher, from its start to the started shell, with gateway pins and
# package signatures on, against
#   curl -o  +  md5sum  +  unzip -qo  +  md5sum -c
# run one after another on the same package from the same local gateway.
# Rounds alternate; medians are compared (target: ours <= 0.8 x baseline).
#
#   launcher/app/bench/update_road_bench.sh [ROUNDS]      (default 3; BENCH_QUICK=1: 1)
#
# Reads BENCH_BUILD (a configured Release folder, default build-bench) and
# BENCH_WORK (scratch, default /tmp/kit-bench-road, needs about 2 GB). The
# gateway listens on 127.0.0.1:38491/38492, the ports launcher_bench is
# built for. Needs an X display (runs its own Xvfb when there is none).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

if [[ "${1:-}" == "-h" || "${1:-}" == "--help" ]]; then
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
rounds=${1:-3}
[[ "${BENCH_QUICK:-0}" == 1 ]] && rounds=${1:-1}
build=${BENCH_BUILD:-$root/build-bench}
work=${BENCH_WORK:-/tmp/kit-bench-road}
for tool in curl md5sum unzip zip python3 openssl; do
  command -v "$tool" >/dev/null || { echo "update_road: $tool is not installed" >&2; exit 1; }
done
mkdir -p "$work"
[[ -n "${BENCH_BUILD:-}" ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target launcher_bench demo_shell mkmanifest >/dev/null
exec "$root/scripts/with-display.sh" python3 "$here/update_road.py" "$build" "$work" "$rounds"
