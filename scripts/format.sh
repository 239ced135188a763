#!/usr/bin/env bash
# Formats every C++ file with clang-format (.clang-format) and every Python file with black (pyproject.toml), both
# with a column limit of 120. With --check it changes nothing and fails on the first file they would change.
set -euo pipefail
cd "$(dirname "$0")/.."

files() { git ls-files -co --exclude-standard -- "$@" | while read -r file; do if [ -f "$file" ]; then echo "$file"; fi; done; }

if [ "${1:-}" = --check ]; then
  files '*.cpp' '*.h' '*.hpp' '*.cc' | xargs -r clang-format --dry-run --Werror
  files '*.py' | xargs -r black --check -q || { echo "format.sh: black would reformat the files above" >&2; exit 1; }
else
  files '*.cpp' '*.h' '*.hpp' '*.cc' | xargs -r clang-format -i
  files '*.py' | xargs -r black -q
fi
