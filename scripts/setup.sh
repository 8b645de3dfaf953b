#!/usr/bin/env bash
# Installs from Debian's packages whatever the build needs (with --tests, the
# tests too; with --package, --windows and --web, the tools that make the
# Debian package, the Windows program and the page for browsers; with
# --reproduce, those that compare two builds) and the
# machine lacks; does nothing when all of it is there.
# Works on Debian 12 and 13: every name below exists on both, and the one
# that carries a version (clang's runtime) is read from what apt offers.
set -euo pipefail

# What to install for: the build (always), the tests, the Debian package, the
# Windows program.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev zlib1g-dev fonts-liberation qt6-translations-l10n)
package_tools=(build-essential debhelper dpkg-dev git)
windows_tools=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest zip wixl msitools faketime)
web_tools=(emscripten)
reproduce_tools=(diffoscope-minimal reprotest faketime)
test_tools=(
    libgtest-dev libbenchmark-dev libphonenumber-dev libx11-dev libxdamage-dev
    xvfb xauth xdotool xclip x11-utils strace
    sway grim wl-clipboard qt6-wayland libwayland-dev libxkbcommon-dev
    binutils-mingw-w64-x86-64
    desktop-file-utils appstream dpkg-dev file
    libreoffice-calc-nogui python3-openpyxl
    dbus at-spi2-core python3-pyatspi
    clang
    "${package_tools[@]}" lintian devscripts
    "${windows_tools[@]}" wine64 fonts-wine
    "${web_tools[@]}" chromium chromium-driver python3-selenium python3-pil
)
tests=false
for role in "$@"; do
    case $role in
        --tests) tests=true; packages+=("${test_tools[@]}") ;;
        --package) packages+=("${package_tools[@]}") ;;
        --windows) packages+=("${windows_tools[@]}") ;;
        --web) packages+=("${web_tools[@]}") ;;
        --reproduce) packages+=("${reproduce_tools[@]}") ;;
        *) echo "usage: setup.sh [--tests] [--package] [--windows] [--web] [--reproduce]" >&2; exit 2 ;;
    esac
done

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

installed() {
    [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" == "install ok installed" ]]
}

# libFuzzer and the sanitizers' runtime ship apart from clang, in a package
# named after clang's major version: the one the default clang depends on.
clang_runtime() {
    local depends
    if installed clang; then
        depends=$(dpkg-query -W -f='${Depends}' clang)
    else
        depends=$(apt-cache depends clang 2>/dev/null | sed -n 's/^ *Depends: //p' | tr '\n' ,)
    fi
    sed -n 's/.*\bclang-\([0-9][0-9]*\)\b.*/libclang-rt-\1-dev/p' <<<"$depends" | head -n1
}

missing() {
    local package
    for package in "${packages[@]}"; do
        installed "$package" || echo "$package"
    done
}

# The package lists of a fresh machine may be empty or old: read them anew
# before anything is looked up or installed.
updated=false
update() {
    $updated || "${sudo[@]}" apt-get update -qq
    updated=true
}

if $tests; then
    runtime=$(clang_runtime)
    if [[ -z "$runtime" ]]; then
        update
        runtime=$(clang_runtime)
    fi
    [[ -n "$runtime" ]] || { echo "setup: apt offers no clang here" >&2; exit 1; }
    packages+=("$runtime")
fi

mapfile -t wanted < <(missing)
[[ ${#wanted[@]} -eq 0 ]] && exit 0

echo "Installing: ${wanted[*]}"
update
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${wanted[@]}" </dev/null
