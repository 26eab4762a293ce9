#!/usr/bin/env bash
# Soak of the launcher's update road against the demo gateway: every round
# injects one random failure (refusal, time-out, slow transfer, bad MD5,
# corrupt zip, kill at a random point, a shell that never signals), then a
# clean run must end with a verified install and a started shell, and
# nothing may appear outside the data folder.
#   scripts/soak-update.sh [ROUNDS] [BUILD_DIR]   (defaults: 200, build-soak)
#   SOAK_SEED=N repeats a run's choices (the seed is printed at the start).
# Its gateway listens on loopback ports 47841-47842 (see launcher/worker/CMakeLists.txt).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [[ "${1:-}" == -h || "${1:-}" == --help ]]; then sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0; fi
rounds=${1:-200}
build=${2:-$root/build-soak}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target launcher_update_soak >/dev/null
SOAK_ROUNDS=$rounds exec "$build/launcher/worker/launcher_update_soak"
