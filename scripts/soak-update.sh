#!/usr/bin/env bash
# Soak of the launcher's update road against the demo gateway: every round
# injects one random failure (refusal, time-out, slow transfer, bad MD5,
# corrupt zip, kill at a random point, a shell that never signals, a damaged
# install to repair, a kill while a repair or a reset deletes), then a clean
# run must end with a complete install, a started shell and no leftovers,
# and nothing may appear outside the data folder (kept on /dev/shm).
#   scripts/soak-update.sh [ROUNDS] [BUILD_DIR]   (defaults: 200, build-soak)
#   SOAK_SEED=N repeats a run's choices (the seed is printed at the start).
#   SOAK_REPORT=file writes the run's summary there (make soak: docs/soak.md).
# Its gateway listens on loopback ports 47841-47842 (see launcher/worker/CMakeLists.txt).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [[ "${1:-}" == -h || "${1:-}" == --help ]]; then sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0; fi
rounds=${1:-200}
build=${2:-$root/build-soak}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target launcher_update_soak >/dev/null
log="$build/soak.log"
started=$(date -u '+%Y-%m-%d %H:%M UTC')
start=$(date +%s)
commit=$(cd "$root" && git rev-parse --short HEAD)
set +e
SOAK_ROUNDS=$rounds "$build/launcher/worker/launcher_update_soak" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
set -e
if [[ -n "${SOAK_REPORT:-}" ]]; then
  {
    echo "# Update soak"
    echo
    echo "Written by \`make soak\` (\`scripts/soak-update.sh\`); the figures are the run's own output."
    echo "Each round injects one failure at random, then a clean run must end with a"
    echo "complete install (every file of the package in place), a started shell and no"
    echo "leftovers of a killed delete, with nothing written outside the data folder."
    echo "The repair road is covered: a damaged install, kills while a repair or FixDirApp"
    echo "deletes (timed by inotify after a random number of deletions, data folder on a"
    echo "tmpfs, which deletes the newest entry, the rewritten manifest, first)."
    echo
    echo "- Date: $started; $(( $(date +%s) - start )) s; commit $commit"
    echo "- Result: $([[ $status -eq 0 ]] && echo passed || echo "**failed** (exit $status)")"
    echo
    echo '```'
    grep -E '^soak: ([0-9]+ rounds, seed|faults injected)' "$log" || true
    grep -E ': Failure$|written outside' "$log" | head -n 20 || true
    echo '```'
  } > "$SOAK_REPORT"
  echo "wrote $SOAK_REPORT"
fi
exit "$status"
