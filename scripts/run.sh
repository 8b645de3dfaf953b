#!/usr/bin/env bash
# Installs what is missing, builds the program and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset program >/dev/null
cmake --build --preset program
exec build/program/bin/convqvr
