#!/usr/bin/env bash
# Fuzzes the serial splitter for a bounded time.
#   scripts/fuzz.sh [seconds]      (default 600)
# The corpus grows in build/fuzz/corpus and is kept between runs; crashing
# inputs land in build/fuzz/findings. Exits nonzero when anything was found.
set -euo pipefail

seconds=${1:-600}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target fuzz_split

corpus=build/fuzz/corpus
findings=build/fuzz/findings
log=build/fuzz/fuzz.log
mkdir -p "$corpus" "$findings"

# A few real-looking clipboard texts, so the search starts near the labels,
# blanks and tabs that matter.
seed() { printf '%b' "$2" >"$corpus/seed-$1"; }
seed plain 'ABCD-EFGH-IJKL'
seed label 'Serial Number: ABCD-EFGH'
seed colon 'Key:AB-CD'
seed empty-pieces '-AB--CD-'
seed tabs 'SN:\tAB-\tCD\r\n'
seed spaced 'ABCD - EFGH - IJKL'
seed gbk '\xd0\xf2\xc1\xd0\xba\xc5\xa3\xba 12AB-34CD'

status=0
build/fuzz/fuzz_split "$corpus" \
    -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1 || status=$?

execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
if [[ $status -ne 0 ]]; then
    awk '/==[0-9]+==ERROR|invariant broken|ERROR: libFuzzer|deadly signal/ {on = 1} on && n++ < 30' "$log"
    grep -E '^SUMMARY|Test unit written' "$log" || true
    echo "fuzz_split: FOUND A PROBLEM (exit $status), inputs in $findings, log in $log"
    exit "$status"
fi
grep -E '^(#[0-9]+.*(pulse|DONE)|Done|stat::)' "$log" | tail -n 8
echo "fuzz_split: ${rate:-?} exec/s, ${execs:-?} executions in ${seconds} s, nothing found"
