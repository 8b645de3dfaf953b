#!/usr/bin/env bash
# Makes the Debian package from the committed sources, with Debian's own
# tools and flags, in build/package; prints the path of the .deb last.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --package >&2
work=$PWD/build/package
version=$(dpkg-parsechangelog -l packaging/debian/changelog -S Version)
source=$work/conversion-qvr-$version
[[ -z $(git status --porcelain --untracked-files=no) ]] \
    || echo "package.sh: uncommitted changes are not in the package" >&2

rm -rf "$work"
mkdir -p "$source"
git archive HEAD | tar -x -C "$source"
mv "$source/packaging/debian" "$source/debian"
(cd "$source" && dpkg-buildpackage --build=binary --no-sign) >&2
ls "$work"/conversion-qvr_"$version"_*.deb
