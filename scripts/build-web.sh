#!/usr/bin/env bash
# Builds the page for browsers with Debian's Emscripten: one self-contained
# file to open from disk, and a folder for any static web host (installable,
# usable offline). Prints the single file's path last.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --web >&2
# Emscripten's tools look for their node modules where Debian keeps them; a
# node that is not Debian's own does not look there by itself.
export NODE_PATH=/usr/share/nodejs
cmake --preset web >&2
cmake --build --preset web >&2
echo "served folder: $PWD/build/web/web/served" >&2
echo "$PWD/build/web/web/conversion-qvr.html"
