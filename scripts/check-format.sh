#!/usr/bin/env bash
# Fails when a tracked C/C++ source differs from what the committed .clang-format
# gives, and names those files. Fix them with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is missing (scripts/setup.sh installs it)" >&2; exit 2; }
bad=() count=0
while IFS= read -r -d '' f; do
  count=$((count + 1))
  clang-format --style=file "$f" | cmp -s - "$f" || bad+=("$f")
done < <(git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
if [ ${#bad[@]} -gt 0 ]; then
  echo "check-format: ${#bad[@]} file(s) differ from the house formatting ($(clang-format --version)):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  echo "check-format: run 'clang-format -i' on them" >&2
  exit 1
fi
echo "check-format: $count files follow .clang-format"
