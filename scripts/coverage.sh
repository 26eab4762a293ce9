#!/usr/bin/env bash
# Coverage build, the whole CTest suite, then line and branch coverage of
# our own code per deliverable into a Markdown report.
#   scripts/coverage.sh [BUILD_DIR] [OUTPUT.md]   (defaults: build-coverage, docs/coverage.md)
# Test, benchmark and fuzz sources are not counted: the figures are about
# the code the tests exercise, not the tests themselves. Tests that fail are
# listed in the report; the figures are still written.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-coverage}
output=${2:-$root/docs/coverage.md}
jobs=${JOBS:-2}
if [[ "${1:-}" == -h || "${1:-}" == --help ]]; then sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0; fi
command -v gcovr >/dev/null || { echo "coverage: gcovr is missing (scripts/install-deps.sh --bench)" >&2; exit 1; }

flags="--coverage -O0 -g"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage \
  -DCMAKE_MODULE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j "$jobs"
# Counts from an earlier run would inflate the figures.
find "$build" -name '*.gcda' -delete
set +e
"$root/scripts/with-display.sh" ctest --test-dir "$build" -j "$jobs" --output-on-failure > "$build/coverage-ctest.log" 2>&1
status=$?
set -e
tail -n 5 "$build/coverage-ctest.log"

# gcov runs in the object folders; the JSON keeps per-file line and branch
# counts that the summary below groups by deliverable.
gcovr --root "$root" --object-directory "$build" \
  --exclude '.*/tests?/.*' --exclude '.*/bench/.*' --exclude '.*/fuzz/.*' --exclude '.*/\.wt/.*' --exclude "$build/.*" \
  --exclude-unreachable-branches --exclude-throw-branches \
  --json "$build/coverage.json" -j "$jobs" >/dev/null
python3 "$root/scripts/coverage_summary.py" "$build/coverage.json" "$output" \
  --ctest-log "$build/coverage-ctest.log" --ctest-status "$status"
cat "$output" | sed -n '1,30p'
