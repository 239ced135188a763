#!/usr/bin/env bash
# Builds what the benchmark measures (build/bench: vardix.exe for x86_64 with benchdrv.exe and the tests'
# helper; build/bench32: vardix.exe for i686, for its size) and runs it. Arguments go to run.py (--quick).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset win64 -B build/bench >/dev/null
cmake --build build/bench -j2
cmake --preset win32 -B build/bench32 >/dev/null
cmake --build build/bench32 -j2 --target vardix
exec python3 bench/run.py "$@"
