#!/usr/bin/env bash
# Runs every fuzz target listed by the fuzzing build for a while.
#   run-fuzzers.sh BUILD_DIR SECONDS
#   FUZZ_ONLY=regex   only the targets whose name matches
#   FUZZ_JOBS=N       N targets at a time (default 1)
#   FUZZ_CPU=1        SECONDS counts the target's own CPU time instead of the
#                     clock, so a run shares the machine (it is also started
#                     with nice 10) and still fuzzes for the whole budget
#   FUZZ_REPORT=file  also appends one Markdown table row per target to file
#                     (docs/fuzzing.md keeps the long runs)
# New inputs go to a scratch copy of the seed corpus (kept between runs in
# BUILD_DIR/fuzz-work/<name>); crashes land in BUILD_DIR/fuzz-artifacts and
# fail the run.
#
# Regression inputs: every crash, leak, time-out or out-of-memory input a
# target finds is also copied into that target's seed folder (the CORPUS of
# project_fuzzer) as regression-<kind>-<hash>. Every run starts by
# replaying the seed folder, so once committed the input fails fuzz-ci until
# the fault is fixed, and guards against its return after. Commit them with
# the fix: git add <corpus>/regression-*. FUZZ_KEEP_CRASHES=0 turns the copy
# off. A per-target summary (clock and CPU seconds, executions, coverage)
# goes to BUILD_DIR/fuzz-work/summary.txt.
set -euo pipefail
build=$1 seconds=$2
list="$build/fuzzers.txt"
[[ -s "$list" ]] || { echo "run-fuzzers: no fuzz targets in $list"; exit 0; }
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
summary="$build/fuzz-work/summary.txt"
status_dir="$build/fuzz-work/status"
mkdir -p "$build/fuzz-work"
rm -rf "$status_dir"
mkdir -p "$status_dir"
: > "$summary"
parallel=${FUZZ_JOBS:-1}
cpu_budget=${FUZZ_CPU:-0}
ticks=$(getconf CLK_TCK)

# CPU seconds (user + system) a running process has used so far.
cpu_seconds() {
  awk -v t="$ticks" '{ sub(/.*\) /, ""); printf "%d", ($12 + $13) / t }' "/proc/$1/stat" 2>/dev/null || echo 0
}

# One line for the summary (and a table row for FUZZ_REPORT) from a run's
# log: executions from the final statistics, edges ("cov") and features
# ("ft") from the last status line.
summarise() {
  local name=$1 log=$2 work=$3 budget=$4 status=$5 execs status_line cov ft units
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  status_line=$(grep -aE '^#[0-9]+[[:space:]]+[A-Z]+[[:space:]]+cov: ' "$log" | tail -n1 || true)
  cov=$(echo "$status_line" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  ft=$(echo "$status_line" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  units=$(find "$work" -type f | wc -l)
  echo "$name: $budget, ${execs:-?} executions, cov: ${cov:-?} ft: ${ft:-?}, $units inputs kept" | tee -a "$summary"
  if [[ -n "${FUZZ_REPORT:-}" ]]; then
    local result=clean
    [[ $status -eq 0 ]] || result="**failure (exit $status)**, input kept as a regression input"
    printf '| %s | %s | %s | %s | %s | %s | %s | %s |\n' "$(date -u '+%Y-%m-%d')" "$name" "$budget" \
      "${execs:-?}" "${cov:-?}" "${ft:-?}" "$units" "$result" >> "$FUZZ_REPORT"
  fi
}

run_one() {
  local exe=$1 corpus=$2 name log work status=0 started pid cpu=0
  name=$(basename "$exe")
  log="$build/fuzz-work/$name.log"
  work="$build/fuzz-work/$name"
  mkdir -p "$work"
  local seeds=()
  [[ -n "$corpus" && -d "$corpus" ]] && seeds=("$corpus")
  # close_fd_mask=3: the libraries' own log lines (stderr) would otherwise
  # fill the log by gigabytes per hour; libFuzzer and the sanitizers keep a
  # private copy of stderr for their reports.
  local args=(-rss_limit_mb=2048 -max_len=65536 -close_fd_mask=3 -artifact_prefix="$artifacts/$name-"
    -print_final_stats=1)
  started=$(date +%s)
  if [[ $cpu_budget == 1 ]]; then
    # The clock limit only guards against a run that never gets the CPU.
    nice -n 10 "$exe" -max_total_time=$((seconds * 8)) "${args[@]}" "$work" "${seeds[@]}" > "$log" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
      cpu=$(cpu_seconds "$pid")
      if (( cpu >= seconds )); then kill -INT "$pid" 2>/dev/null || true; break; fi
      sleep 5
    done
    wait "$pid" || status=$?
    # libFuzzer leaves with 72 when it is interrupted: the budget was spent.
    [[ $status -eq 72 ]] && status=0
  else
    "$exe" -max_total_time="$seconds" "${args[@]}" "$work" "${seeds[@]}" > "$log" 2>&1 || status=$?
  fi
  local wall=$(( $(date +%s) - started ))
  if [[ $status -ne 0 ]]; then
    echo "!! $name found a failure (exit $status); see $log"
    tail -n 40 "$log"
    touch "$status_dir/$name.failed"
    if [[ "${FUZZ_KEEP_CRASHES:-1}" == 1 && -n "$corpus" && -d "$corpus" ]]; then
      for found in "$artifacts/$name-"{crash,leak,timeout,oom,slow-unit}-*; do
        [[ -f "$found" ]] || continue
        kind=$(basename "$found" | sed "s/^$name-//; s/-.*//")
        cp "$found" "$corpus/regression-$kind-$(sha1sum < "$found" | cut -c1-12)"
        echo "!! kept $found as a regression input in $corpus"
      done
    fi
  fi
  local budget_text="${seconds}s"
  [[ $cpu_budget == 1 ]] && budget_text="${cpu}s CPU in ${wall}s"
  summarise "$name" "$log" "$work" "$budget_text" "$status"
}

count=0
while IFS='|' read -r exe corpus; do
  [[ -n "$exe" ]] || continue
  name=$(basename "$exe")
  if [[ -n "${FUZZ_ONLY:-}" && ! "$name" =~ ${FUZZ_ONLY} ]]; then continue; fi
  while (( $(jobs -rp | wc -l) >= parallel )); do wait -n || true; done
  echo "== $name for ${seconds}s$([[ $cpu_budget == 1 ]] && echo " of CPU")"
  run_one "$exe" "$corpus" &
  count=$((count + 1))
done < "$list"
wait
failed=$(find "$status_dir" -name '*.failed' | wc -l)
echo "fuzz targets: $((count - failed)) passed, $failed failed"
[[ $failed -eq 0 ]]
