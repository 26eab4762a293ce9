#!/usr/bin/env bash
# Checks C and C++ files against the committed .clang-format; prints each
# file that differs and exits 1 if any does. With --fix it rewrites them.
#
#   scripts/check-format.sh [--fix] [FILE...]   (default: every tracked file)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=clang-format-14
command -v "$tool" >/dev/null || tool=clang-format
fix=0
if [[ "${1:-}" == "--fix" ]]; then
  fix=1
  shift
fi
if (($# > 0)); then
  files=("$@")
else
  mapfile -t files < <(git ls-files '*.cpp' '*.cc' '*.h' '*.hpp' '*.c')
fi
if ((fix)); then
  printf '%s\0' "${files[@]}" | xargs -0 -n 50 "$tool" -i
  exit 0
fi
# One clang-format run per batch of files; each file that differs is named
# in its "code should be clang-formatted" warnings.
mapfile -t differing < <(printf '%s\0' "${files[@]}" | xargs -0 -n 40 -P 2 "$tool" --dry-run 2>&1 |
  sed -n 's/^\(.*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
for f in "${differing[@]}"; do echo "format: $f differs from .clang-format"; done
differ=${#differing[@]}
if ((differ > 0)); then
  echo "format: $differ of ${#files[@]} files differ (scripts/check-format.sh --fix rewrites them)"
  exit 1
fi
echo "format: ${#files[@]} files match .clang-format"
