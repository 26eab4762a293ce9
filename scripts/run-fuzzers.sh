#!/usr/bin/env bash
# Runs every fuzz target listed by the fuzzing build for a while.
#   run-fuzzers.sh BUILD_DIR SECONDS
# New inputs go to a scratch copy of the seed corpus; crashes land in
# BUILD_DIR/fuzz-artifacts and fail the run.
#
# Regression inputs: every crash, leak, time-out or out-of-memory input a
# target finds is also copied into that target's seed folder (the CORPUS of
# project_fuzzer) as regression-<kind>-<hash>. Every run starts by
# replaying the seed folder, so once committed the input fails fuzz-ci until
# the fault is fixed, and guards against its return after. Commit them with
# the fix: git add <corpus>/regression-*. FUZZ_KEEP_CRASHES=0 turns the copy
# off. A per-target summary (executions, coverage) goes to
# BUILD_DIR/fuzz-work/summary.txt.
set -euo pipefail
build=$1 seconds=$2
list="$build/fuzzers.txt"
[[ -s "$list" ]] || { echo "run-fuzzers: no fuzz targets in $list"; exit 0; }
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
failed=0 count=0
summary="$build/fuzz-work/summary.txt"
mkdir -p "$build/fuzz-work"
: > "$summary"
while IFS='|' read -r exe corpus; do
  [[ -n "$exe" ]] || continue
  name=$(basename "$exe")
  work="$build/fuzz-work/$name"
  mkdir -p "$work"
  seeds=()
  [[ -n "$corpus" && -d "$corpus" ]] && seeds=("$corpus")
  echo "== $name for ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
       -artifact_prefix="$artifacts/$name-" -print_final_stats=1 \
       "$work" "${seeds[@]}" > "$build/fuzz-work/$name.log" 2>&1; then
    echo "!! $name found a failure; see $build/fuzz-work/$name.log"
    tail -n 40 "$build/fuzz-work/$name.log"
    failed=$((failed + 1))
    if [[ "${FUZZ_KEEP_CRASHES:-1}" == 1 && -n "$corpus" && -d "$corpus" ]]; then
      for found in "$artifacts/$name-"{crash,leak,timeout,oom,slow-unit}-*; do
        [[ -f "$found" ]] || continue
        kind=$(basename "$found" | sed "s/^$name-//; s/-.*//")
        cp "$found" "$corpus/regression-$kind-$(sha1sum < "$found" | cut -c1-12)"
        echo "!! kept $found as a regression input in $corpus"
      done
    fi
  fi
  # Executions and the coverage reached (edges "cov", features "ft").
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz-work/$name.log" | tail -n1)
  cov=$(grep -oE '(DONE|#[0-9]+ +[A-Z]+) +cov: [0-9]+ ft: [0-9]+' "$build/fuzz-work/$name.log" | tail -n1 | grep -oE 'cov: [0-9]+ ft: [0-9]+')
  echo "$name: ${seconds}s, ${execs:-?} executions, ${cov:-cov ?}" | tee -a "$summary"
  count=$((count + 1))
done < "$list"
echo "fuzz targets: $((count - failed)) passed, $failed failed"
[[ $failed -eq 0 ]]
