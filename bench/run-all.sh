#!/usr/bin/env bash
# Runs every benchmark script of the tree against its baseline and writes one
# table from the numbers the scripts print, so no figure is ever typed in.
#
#   bench/run-all.sh [BUILD_DIR] [OUTPUT.md]
#        defaults: build-bench, docs/benchmarks.md
#   BENCH_QUICK=1   smaller inputs and fewer rounds (checks the runner in minutes)
#   BENCH_ONLY=re   run only the scripts whose path matches the regex
#
# Discovery: every tracked file matching */bench/*.sh is run, unless it holds
# the line "# bench-runner: skip" (for wrappers another script already runs).
# A script is called with no arguments and reads, when set:
#   BENCH_BUILD  absolute path of the Release build folder (already configured)
#   BENCH_WORK   a scratch folder of its own for inputs and outputs
#   BENCH_QUICK  1 for the quick mode
# and prints, among whatever else it likes, one line per measured figure:
#   BENCH|operation|input size|ours|baseline name|baseline|unit|target
# ours and baseline are plain numbers in the unit given (baseline "-" when the
# figure has none); target is one of ratio<=X, ratio>=X, ours<=X, ours>=X or
# "-" (report only). ratio is always ours / baseline, so for a throughput the
# target reads ratio>=X and for a time ratio<=X. Full output of each script
# is kept in BUILD_DIR/bench-logs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$root/build-bench}" && cd "${1:-$root/build-bench}" && pwd)
output=${2:-$root/docs/benchmarks.md}
quick=${BENCH_QUICK:-0}
logs="$build/bench-logs"
mkdir -p "$logs"
results="$logs/results.txt"
: > "$results"

load_before=$(uptime)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
mapfile -t scripts < <(cd "$root" && git ls-files '*/bench/*.sh' | sort)
for script in "${scripts[@]}"; do
  if [[ -n "${BENCH_ONLY:-}" && ! "$script" =~ ${BENCH_ONLY} ]]; then continue; fi
  if grep -qx '# bench-runner: skip.*' "$root/$script"; then continue; fi
  name=$(echo "$script" | tr '/' '_' | sed 's/\.sh$//')
  suffix=""
  [[ $quick != 1 ]] || suffix=-quick
  work="${BENCH_WORK_ROOT:-/tmp/bench-work}/$name$suffix"
  mkdir -p "$work"
  echo "== $script (log: $logs/$name.log)"
  start=$(date +%s)
  set +e
  (cd "$root" && BENCH_BUILD="$build" BENCH_WORK="$work" BENCH_QUICK="$quick" \
     "$root/scripts/with-display.sh" bash "$root/$script") > "$logs/$name.log" 2>&1
  status=$?
  set -e
  grep '^BENCH|' "$logs/$name.log" | sed "s#^#$script|#" >> "$results" || true
  if [[ $status -ne 0 ]]; then
    echo "$script|FAILED|exit $status, see bench-logs/$name.log|-|-|-|-|-" >> "$results"
    tail -n 15 "$logs/$name.log"
  elif ! grep -q '^BENCH|' "$logs/$name.log"; then
    echo "$script|FAILED|printed no BENCH lines|-|-|-|-|-" >> "$results"
  fi
  grep '^BENCH|' "$logs/$name.log" || true
  echo "   $(( $(date +%s) - start )) s"
done

python3 "$root/bench/make_table.py" "$results" "$output" \
  --cores "$(nproc)" --date "$started" --quick "$quick" \
  --load-before "$load_before" --load-after "$(uptime)" \
  --commit "$(cd "$root" && git rev-parse --short HEAD)$(cd "$root" && git diff --quiet HEAD -- . ':!docs' || echo '+changes')"
echo "wrote $output"

exit 0
