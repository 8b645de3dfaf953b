#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in
# the optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer,
# the Windows program, cross-built, under Wine, and the page in Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

start=$SECONDS
took() {
    echo "== $1 took $((SECONDS - start)) s"
    start=$SECONDS
}

scripts/setup.sh --tests
took "setup"
presets=(default sanitize windows web)
for preset in "${presets[@]}"; do
    echo "== $preset build"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    took "$preset build"
done
status=0
for preset in "${presets[@]}"; do
    echo "== $preset tests"
    ctest --preset "$preset" || status=1
    took "$preset tests"
done
exit $status
