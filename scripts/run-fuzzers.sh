#!/usr/bin/env bash
# Runs every fuzz target listed by the fuzzing build for a while.
#   run-fuzzers.sh BUILD_DIR SECONDS
# New inputs go to a scratch copy of the seed corpus; crashes land in
# BUILD_DIR/fuzz-artifacts and fail the run (add them to the seed folder
# as regression inputs once fixed).
set -euo pipefail
build=$1 seconds=$2
list="$build/fuzzers.txt"
[[ -s "$list" ]] || { echo "run-fuzzers: no fuzz targets in $list"; exit 0; }
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
failed=0 count=0
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
  else
    grep -E '^stat::number_of_executed_units' "$build/fuzz-work/$name.log" || true
  fi
  count=$((count + 1))
done < "$list"
echo "fuzz targets: $((count - failed)) passed, $failed failed"
[[ $failed -eq 0 ]]
