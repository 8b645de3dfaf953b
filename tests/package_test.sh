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
for needed in fonts-liberation qt6-translations-l10n libqt6widgets6 libqt6gui6 libqt6core6 libc6; do
    grep -q -E "(^|, )$needed( |,|$)" <<<"$depends" || { echo "Depends lacks $needed"; exit 1; }
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
