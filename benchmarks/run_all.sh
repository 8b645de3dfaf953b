#!/usr/bin/env bash
# Builds and runs every benchmark, then prints one table of the figures
# against their goals. Usage: benchmarks/run_all.sh [START_UP_RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-40}

scripts/setup.sh --tests
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
bin=build/default/benchmarks
log=$(mktemp)
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

echo "conversion ..." >&2
"$bin/convert_benchmark" --benchmark_color=false --benchmark_min_time=0.5 >>"$log" 2>/dev/null
echo "start-up and memory, $runs runs each ..." >&2
tests/xvfb.sh "$bin/startup_benchmark" build/default/bin/convqvr "$bin/floor_window" "$runs" >>"$log"
echo "keystrokes and a large paste ..." >&2
tests/xvfb.sh "$bin/keystroke_benchmark" >>"$log" 2>/dev/null
echo "the command line over lists of numbers ..." >&2
"$bin/lines_benchmark" build/default/bin/convqvr "$bin/floor_copy" >>"$log"
echo "workbooks beside a floor that only inflates and deflates ..." >&2
/usr/bin/python3 benchmarks/workbook_benchmark.py build/default/bin/convqvr "$bin/floor_zip" >>"$log"
echo "the page in Chromium ..." >&2
page=$(scripts/build-web.sh 2>/dev/null | tail -n1)
/usr/bin/python3 benchmarks/web_benchmark.py "$page" build/default/bin/convqvr >>"$log"

echo
printf '%-44s | %-48s | %s\n' "figure" "measured" "goal"
printf '%s\n' "$(printf -- '-%.0s' {1..120})"
sed -n 's/^row: //p' "$log" | awk -F' [|] ' '{ printf "%-44s | %-48s | %s\n", $1, $2, $3 }'
rm -f "$log"
