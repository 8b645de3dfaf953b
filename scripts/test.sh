#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in
# the optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --tests
for preset in default sanitize; do
    echo "== $preset build"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
status=0
for preset in default sanitize; do
    echo "== $preset tests"
    ctest --preset "$preset" || status=1
done
exit $status
