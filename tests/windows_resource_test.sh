#!/usr/bin/env bash
# The Windows resource script compiles, and its version block says what it must.
# Usage: windows_resource_test.sh SCRIPT.rc WORK_DIR
set -euo pipefail
script=$1
work=$2
mkdir -p "$work"
# The host preprocessor serves: the script needs no Windows headers.
windres=(x86_64-w64-mingw32-windres --preprocessor=cpp)

"${windres[@]}" --input "$script" --output "$work/convqvr.res" --output-format res
"${windres[@]}" --input "$work/convqvr.res" --input-format res --output "$work/convqvr.decompiled.rc"

expect() {
    grep -q -F -- "$1" "$work/convqvr.decompiled.rc" || { echo "missing: $1"; cat "$work/convqvr.decompiled.rc"; exit 1; }
}
expect 'FILEVERSION 6, 0, 0, 0'
expect 'PRODUCTVERSION 6, 0, 0, 0'
expect 'LANGUAGE 12, 1'
expect 'BLOCK "040C04B0"'
expect 'VALUE "FileVersion", "6.00"'
expect 'VALUE "ProductVersion", "6.00"'
expect 'VALUE "Translation", 0x40c, 1200'
expect 'num\351ros de t\351l\351phone'   # UTF-8 accents reach the block intact
grep -q 'RT_GROUP_ICON' "$work/convqvr.decompiled.rc" || { echo "no icon"; exit 1; }
echo "resource script compiles with its version block and icon"
