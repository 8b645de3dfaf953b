#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in
# the optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

start=$SECONDS
took() {
    echo "== $1 took $((SECONDS - start)) s"
    start=$SECONDS
}

scripts/setup.sh --tests
took "setup"
for preset in default sanitize; do
    echo "== $preset build"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    took "$preset build"
done
status=0
for preset in default sanitize; do
    echo "== $preset tests"
    ctest --preset "$preset" || status=1
    took "$preset tests"
done
exit $status
