#!/usr/bin/env bash
# Builds everything (native, Windows x86_64, Windows i686) and runs every test:
# unit tests natively and under AddressSanitizer/UndefinedBehaviorSanitizer,
# the executables' image checks, and the end-to-end tests under Wine. First of all, the tests must stay within
# 0.6 times the program's lines, and every file must be as the formatters leave it (scripts/format.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== lines"
scripts/count-lines.sh

scripts/install-deps.sh

echo "== formatting"
scripts/format.sh --check

jobs=$(nproc)
for preset in linux linux-san win64 win32; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
done

for preset in linux linux-san win32 win64; do
  echo "== test $preset"
  ctest --preset "$preset"
done
echo "== release archives"
scripts/release.sh
scripts/check-release.sh
echo "== all tests passed"
