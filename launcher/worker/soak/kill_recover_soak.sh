#!/usr/bin/env bash
# Soak: kill the update worker at random points of many downloads and
# unpacks, and check that the next run always recovers.
#   launcher/worker/soak/kill_recover_soak.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=${1:-build}
rounds=${2:-200}
exe="$build/launcher/worker/launcher_worker_test"
[[ -x "$exe" ]] || { echo "kill_recover_soak: build $exe first (make build)" >&2; exit 1; }
KILL_ROUNDS=$rounds "$exe" --gtest_filter='*KilledAtRandomPoints*'
