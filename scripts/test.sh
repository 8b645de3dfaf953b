#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in
# the optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer,
# and the Windows program, cross-built, under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

start=$SECONDS
took() {
    echo "== $1 took $((SECONDS - start)) s"
    start=$SECONDS
}

scripts/setup.sh --tests
took "setup"
for preset in default sanitize windows; do
    echo "== $preset build"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    took "$preset build"
done
status=0
for preset in default sanitize windows; do
    echo "== $preset tests"
    ctest --preset "$preset" || status=1
    took "$preset tests"
done
exit $status
