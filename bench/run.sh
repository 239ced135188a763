#!/usr/bin/env bash
# Builds what the benchmark measures (vardix.exe for x86_64 with the bench's
# driver and the tests' helper, and vardix.exe for i686, each in the bench's
# own build folders) and runs it. Arguments go to run.py (for example --quick).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset win64 -B build/bench >/dev/null
cmake --build build/bench -j"$(nproc)"
cmake --preset win32 -B build/bench32 >/dev/null
cmake --build build/bench32 -j"$(nproc)" --target vardix
exec python3 bench/run.py "$@"
