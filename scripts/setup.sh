#!/usr/bin/env bash
# Installs from Debian's packages whatever the build (and, with --tests, the
# tests) needs and the machine lacks; does nothing when all of it is there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgtest-dev libbenchmark-dev libphonenumber-dev libx11-dev libxdamage-dev
    fonts-liberation qt6-translations-l10n
)
if [[ "${1:-}" == "--tests" ]]; then
    packages+=(
        xvfb xauth xdotool x11-utils strace
        binutils-mingw-w64-x86-64
        desktop-file-utils appstream dpkg-dev file
        dbus at-spi2-core python3-pyatspi
        clang libclang-rt-14-dev
    )
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
