#!/usr/bin/env bash
# Builds the page for browsers with Debian's Emscripten: one self-contained
# file to open from disk, and a folder for any static web host (installable,
# usable offline), with the SHA256SUMS of both. Prints the single file's path
# last.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/reproducible.sh

scripts/setup.sh --web >&2
cmake --preset web >&2
cmake --build --preset web >&2
web=$PWD/build/web/web
mapfile -t served < <(cd "$web" && find served -type f | LC_ALL=C sort)
checksums "$web" conversion-qvr.html "${served[@]}"
echo "served folder: $web/served" >&2
echo "$web/conversion-qvr.html"
