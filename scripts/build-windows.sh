#!/usr/bin/env bash
# Cross-builds the Windows program and its command line with MinGW-w64, and
# puts in build/windows/release what a Windows user downloads: the two
# programs, a short French text for them, all three in a zip and in a
# Windows Installer package, and their SHA256SUMS. Prints the path of the
# .exe last.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/reproducible.sh

scripts/setup.sh --windows >&2
cmake --preset windows >&2
cmake --build --preset windows --target convqvr convqvr_console msi >&2
version=$(sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p' packaging/debian/changelog)
release=$PWD/build/windows/release
zip=conversion-qvr-$version-windows.zip
msi=conversion-qvr-$version-x64.msi
mapfile -t files <build/windows/win32/shipped.txt
rm -rf "$release"
mkdir -p "$release"
install -m 0644 "${files[@]/#/build/windows/win32/}" build/windows/win32/"$msi" "$release"
chmod 0755 "$release"/*.exe "$release"/*.com
# The zip keeps each file's mode and time (in local time, hence UTC here) and
# its order: all three are fixed, and owners and extra times are left out.
touch -d "@$SOURCE_DATE_EPOCH" "${files[@]/#/$release/}"
(cd "$release" && TZ=UTC zip -q -X "$zip" "${files[@]}")
checksums "$release" "${files[@]}" "$zip" "$msi"
echo "$release/convqvr.exe"
