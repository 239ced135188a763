#!/usr/bin/env bash
# The program's lines (src/) against the tests' (tests/, fuzz/, e2e/): non-blank lines of the code files that git
# tracks or would track (.c .cc .cpp .h .hpp .py .cmake .sh .rc and CMakeLists.txt). Fails when the tests come to more
# than 0.6 times the program.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  git ls-files -co --exclude-standard -- "$@" | grep -E '(\.(c|cc|cpp|h|hpp|py|cmake|sh|rc)|(^|/)CMakeLists\.txt)$' | sort -u |
    while read -r file; do if [ -f "$file" ]; then cat "$file"; fi; done | grep -cv '^[[:space:]]*$' || true
}

program=$(count src)
tests=$(count tests fuzz e2e)
printf '%-28s %5d\n' "program (src/)" "$program" "tests (tests/ fuzz/ e2e/)" "$tests" "  of which e2e/" "$(count e2e)"
awk -v t="$tests" -v p="$program" 'BEGIN { printf "%-28s %5.2f (at most 0.60)\n", "tests / program", t / p; exit !(t <= 0.6 * p) }' ||
  { echo "count-lines.sh: the tests are more than 0.6 times the program" >&2; exit 1; }
