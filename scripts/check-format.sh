#!/usr/bin/env bash
# Lists every C++ file of the tree that the tree's .clang-format would change, and fails when
# there is one. `clang-format -i FILE` mends a listed file.
set -euo pipefail
cd "$(dirname "$0")/.."

offending=0
while IFS= read -r -d '' file; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file"
    offending=$((offending + 1))
  fi
done < <(git ls-files -z -- '*.cpp' '*.h')

if [ "$offending" -gt 0 ]; then
  echo "$offending file(s) differ from .clang-format; run clang-format -i on them." >&2
  exit 1
fi
