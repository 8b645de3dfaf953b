#!/usr/bin/env bash
# A longer fuzzing run of the conversion than the test suite's bounded one.
# Usage: benchmarks/fuzz_long.sh [SECONDS]   (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
fuzzer=build/default/tests/convert-fuzzer
[[ -x "$fuzzer" ]] || { scripts/setup.sh --tests; cmake --preset default >/dev/null; cmake --build --preset default --target convert_fuzzer; }
work=$(mktemp -d)
cp tests/fuzz_corpus/* "$work/"
"$fuzzer" -max_total_time="$seconds" -max_len=256 -print_final_stats=1 -artifact_prefix="$work/" "$work" 2>"$work.log" || {
    tail -n 40 "$work.log"
    exit 1
}
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$work.log"
echo "corpus grown to $(ls "$work" | wc -l) inputs in $work"
