#!/usr/bin/env bash
# Cross-builds the Windows program and its command line with MinGW-w64 and
# packs them in a zip with a short French text for Windows users; prints the
# path of the .exe last.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --windows >&2
cmake --preset windows >&2
cmake --build --preset windows --target convqvr convqvr_console >&2
exe=$PWD/build/windows/win32/convqvr.exe
version=$(sed -n 's/^project(ConversionQVR VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=$PWD/build/windows/conversion-qvr-$version-windows.zip
rm -f "$zip"
(cd "$(dirname "$exe")" && zip -q -j "$zip" "$exe" convqvr.com "$OLDPWD/win32/LISEZMOI.txt")
echo "zip: $zip" >&2
echo "$exe"
