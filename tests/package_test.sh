#!/usr/bin/env bash
# Makes the Debian package with scripts/package.sh and checks it as Debian
# would: lintian, the hardening of the program, dependencies that name what
# the window needs, and its files. Then, in a throwaway copy of the machine
# (the machine itself keeps what it had installed, untouched), it installs
# the package, starts the installed program, and removes and purges it,
# leaving nothing behind; where no such copy can be made, it starts the
# program from the unpacked package instead.
# Usage: package_test.sh SOURCE_DIR WORK_DIR CLOSE_WINDOW APP_ID VERSION
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source=$1
work=$2
close_window=$3
app_id=$4
version=$5

# Inside the throwaway root: install, run, remove, purge.
if [[ "${CONVQVR_PACKAGE_PHASE:-}" == install ]]; then
    deb=$work/conversion-qvr.deb
    mapfile -t files < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}')
    echo "--- install, run, remove, purge"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" </dev/null
    [[ "$(dpkg-query -W -f='${Status}' conversion-qvr)" == "install ok installed" ]]
    for file in "${files[@]}"; do
        [[ -f "/$file" ]] || { echo "not installed: $file"; exit 1; }
    done
    "$here/xvfb.sh" "$here/program_test.sh" /usr/bin/convqvr "$close_window"
    dpkg --remove conversion-qvr
    # With no configuration files of its own, removal may leave nothing to purge.
    if dpkg-query -W conversion-qvr >/dev/null 2>&1; then
        dpkg --purge conversion-qvr
    fi
    [[ -z "$(dpkg-query -W -f='${Status}' conversion-qvr 2>/dev/null)" ]] \
        || { echo "dpkg still knows the package after purge"; exit 1; }
    for path in "${files[@]}" ./usr/share/doc/conversion-qvr; do
        [[ ! -e "/$path" ]] || { echo "left behind after purge: $path"; exit 1; }
    done
    echo "installed, started, removed and purged; nothing left behind"
    exit 0
fi

rm -rf "$work"
mkdir -p "$work"
deb=$("$source/scripts/package.sh" 2>"$work/build.log" | tail -n1) \
    || { tail -n 40 "$work/build.log"; exit 1; }
echo "package: $deb"
[[ "$(dpkg-deb -f "$deb" Version)" == "$version" ]] || { echo "the package is not version $version"; exit 1; }

echo "--- lintian"
lintian_status=0
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.txt" 2>&1 || lintian_status=$?
grep -v 'root privileges' "$work/lintian.txt" || true
[[ $lintian_status -eq 0 ]] || { echo "lintian reports errors or warnings"; exit 1; }

contents=$work/contents
dpkg-deb -x "$deb" "$contents"
program=$contents/usr/bin/convqvr
window=$contents/usr/libexec/conversion-qvr/convqvr-window

echo "--- hardening"
# Every compile of the package carries the fortified checks. hardening-check
# cannot see them here: the program's only fortifiable calls copy into heap
# buffers of std::u32string and QList, whose sizes no compiler knows.
compiles=$(grep -c -E '/c\+\+ .* -c ' "$work/build.log")
fortified=$(grep -E '/c\+\+ .* -c ' "$work/build.log" | grep -c -- '-D_FORTIFY_SOURCE=[23]')
[[ $compiles -gt 0 && $fortified -eq $compiles ]] \
    || { echo "$fortified of $compiles compiles have _FORTIFY_SOURCE"; exit 1; }
echo "_FORTIFY_SOURCE on all $compiles compiles"
# Control-flow protection is the processor's own (IBT on x86, BTI on arm64;
# hardening-check asks for both) and needs the C library's start files to
# carry it too, which Debian 12's and 13's do not on amd64.
skip=(--nofortify)
if [[ $(dpkg --print-architecture) == arm64 ]]; then
    native=(--nobranchprotection 'AArch64 feature: BTI, PAC') other=--nocfprotection
else
    native=(--nocfprotection 'x86 feature: IBT, SHSTK') other=--nobranchprotection
fi
readelf -n "$(gcc -print-file-name=crt1.o)" | grep -q "${native[1]}" || skip+=("${native[0]}")
grep -q -- "$other" <<<"$(hardening-check --help 2>&1)" && skip+=("$other")
hardening-check "${skip[@]}" "$program" "$window"

echo "--- dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Depends: $depends"
echo "Recommends: $recommends"
# What the window needs, named by the files it uses rather than by one
# release's package names: the Qt libraries it links, the face it is laid out
# for, and the toolkit's French texts. Each must come from a dependency.
mapfile -t needed < <(objdump -p "$window" | awk '$1 == "NEEDED" && $2 ~ /^libQt6/ {print "*/" $2}')
needed+=('*/LiberationSans-Regular.ttf' '*/qtbase_fr.qm')
for file in "${needed[@]}"; do
    package=$(dpkg-query -S "$file" | head -n1 | cut -d: -f1)
    grep -q -E "(^|[,|] *)$package( |,|$)" <<<"$depends" || { echo "Depends lacks $package, for $file"; exit 1; }
done
# On a Wayland desktop the program is a Wayland client when Qt's plugin is there.
grep -q -E '(^|, )qt6-wayland( |,|$)' <<<"$recommends" || { echo "Recommends lacks qt6-wayland"; exit 1; }

echo "--- files"
expected=(
    ./usr/bin/convqvr
    ./usr/libexec/conversion-qvr/convqvr-window
    ./usr/share/bash-completion/completions/convqvr
    "./usr/share/applications/$app_id.desktop"
    "./usr/share/metainfo/$app_id.metainfo.xml"
    ./usr/share/man/man1/convqvr.1.gz
    ./usr/share/man/fr/man1/convqvr.1.gz
    ./usr/share/doc/conversion-qvr/copyright
    ./usr/share/doc/conversion-qvr/changelog.gz
)
for size in 16 32 48 64; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
mapfile -t files < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}')
printf '%s\n' "${files[@]}"
for file in "${expected[@]}"; do
    printf '%s\n' "${files[@]}" | grep -q -x -F "$file" || { echo "package lacks $file"; exit 1; }
done

# The command line needs no display, and the toolkit is not even loaded.
[[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" 42123456)" == 04.42.12.34.56 ]] \
    || { echo "the command line does not convert"; exit 1; }
objdump -p "$program" | grep -q 'NEEDED.*libQt' && { echo "the command line links Qt"; exit 1; }

# The machine's own packages are never touched: the package goes into a
# throwaway copy of it.
cp "$deb" "$work/conversion-qvr.deb"
status=0
CONVQVR_PACKAGE_PHASE=install "$here/throwaway_root.sh" "$0" "$@" || status=$?
if [[ $status -eq 77 ]]; then
    echo "--- no throwaway root here: the program runs from the unpacked package, not installed"
    "$here/xvfb.sh" "$here/program_test.sh" "$program" "$close_window"
    exit 0
fi
exit $status
