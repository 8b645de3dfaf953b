#!/usr/bin/env bash
# A bounded libFuzzer run of the conversion, from the committed corpus.
# Usage: fuzz_test.sh FUZZER CORPUS WORK_DIR [RUNS]
set -euo pipefail
fuzzer=$1
corpus=$2
work=$3
runs=${4:-600000}
rm -rf "$work"
mkdir -p "$work/corpus"
cp "$corpus"/* "$work/corpus/"
start=$(date +%s.%N)
"$fuzzer" -runs="$runs" -max_len=256 -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" 2>"$work/log" || {
    tail -n 40 "$work/log"
    exit 1
}
end=$(date +%s.%N)
grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$work/log"
awk -v s="$start" -v e="$end" -v n="$runs" 'BEGIN { printf "fuzz: %d inputs in %.1f s, %.0f inputs/s\n", n, e - s, n / (e - s) }'
