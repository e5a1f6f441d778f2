#!/usr/bin/env bash
# Fails when a tracked C or C++ source is not formatted as .clang-format says.
# `scripts/check-format.sh --fix` formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' 2>/dev/null || find src tests bench fuzz -name '*.cpp' -o -name '*.h' -o -name '*.c')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! clang-format --dry-run --Werror "${files[@]}" 2>"$log"; then
  grep -E '^[^ ].*: (warning|error):' "$log" | cut -d: -f1 | sort -u | sed 's/^/not formatted: /'
  echo "Run scripts/check-format.sh --fix to format them." >&2
  exit 1
fi
