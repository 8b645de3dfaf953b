#!/usr/bin/env bash
# Builds the Debian package, installs it (for real when run as root, as CI
# does; otherwise into a scratch root), and starts the installed program.
# Usage: package_test.sh BUILD_DIR WORK_DIR CLOSE_WINDOW APP_ID
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
work=$2
close_window=$3
app_id=$4

rm -rf "$work"
mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
deb=$(ls "$work"/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# What the window needs, named by the files it uses rather than by one
# release's package names: the Qt libraries it links, the face it is laid out
# for, and the toolkit's French texts. Each must come from a dependency.
dpkg-deb -x "$deb" "$work/contents"
mapfile -t needed < <(objdump -p "$work/contents/usr/bin/convqvr" | awk '$1 == "NEEDED" && $2 ~ /^libQt6/ {print "*/" $2}')
needed+=('*/LiberationSans-Regular.ttf' '*/qtbase_fr.qm')
for file in "${needed[@]}"; do
    package=$(dpkg-query -S "$file" | head -n1 | cut -d: -f1)
    grep -q -E "(^|[,|] *)$package( |,|$)" <<<"$depends" || { echo "Depends lacks $package, for $file"; exit 1; }
done

expected=(
    ./usr/bin/convqvr
    "./usr/share/applications/$app_id.desktop"
    "./usr/share/metainfo/$app_id.metainfo.xml"
    "./usr/share/icons/hicolor/16x16/apps/$app_id.png"
    "./usr/share/icons/hicolor/32x32/apps/$app_id.png"
    "./usr/share/icons/hicolor/48x48/apps/$app_id.png"
)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in "${expected[@]}"; do
    grep -q -x -F "$file" <<<"$contents" || { echo "package lacks $file"; exit 1; }
done

if [[ $(id -u) -eq 0 ]]; then
    dpkg -i "$deb"
    trap 'dpkg -r conversion-qvr >/dev/null' EXIT
    [[ "$(dpkg-query -W -f='${Status}' conversion-qvr)" == "install ok installed" ]]
    root=/
else
    root="$work/root"
    dpkg-deb -x "$deb" "$root"
fi
for file in "${expected[@]}"; do
    [[ -f "$root/$file" ]] || { echo "not installed: $file"; exit 1; }
done
"$here/xvfb.sh" "$here/program_test.sh" "$root/usr/bin/convqvr" "$close_window"
