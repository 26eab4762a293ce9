#!/usr/bin/env bash
# Runs clang-tidy (the committed .clang-tidy) over source files, with the
# compile commands of a configured build folder.
#
#   scripts/run-clang-tidy.sh [-p BUILD] FILE...   (default BUILD: build)
#   scripts/run-clang-tidy.sh [-p BUILD] --changed [BASE]
#        the .cpp files changed since BASE (default: main)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
if [[ "${1:-}" == "-p" ]]; then
  build=$2
  shift 2
fi
if [[ "${1:-}" == "--changed" ]]; then
  mapfile -t files < <(git diff --name-only --diff-filter=AMR "${2:-main}" -- '*.cpp')
else
  files=("$@")
fi
if ((${#files[@]} == 0)); then
  echo "tidy: no files"
  exit 0
fi
if [[ ! -f "$build/compile_commands.json" ]]; then
  echo "tidy: $build/compile_commands.json is missing; configure $build first" >&2
  exit 2
fi
tool=clang-tidy-14
command -v "$tool" >/dev/null || tool=clang-tidy
# --quiet keeps the count of suppressed warnings out; any warning left fails.
out=$(printf '%s\0' "${files[@]}" | xargs -0 -n 8 -P 2 "$tool" --quiet -p "$build" 2>/dev/null || true)
if grep -q 'warning:\|error:' <<<"$out"; then
  echo "$out"
  echo "tidy: warnings in ${#files[@]} files checked" >&2
  exit 1
fi
echo "tidy: ${#files[@]} files clean"
