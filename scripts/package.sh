#!/usr/bin/env bash
# Makes the Debian package from the committed sources, with Debian's own
# tools and flags, in build/package, with the SHA256SUMS of the package and
# its debug symbols; prints the path of the .deb last. With --source-only, it
# only lays out the Debian source tree there and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/reproducible.sh

scripts/setup.sh --package >&2
work=$PWD/build/package
version=$(dpkg-parsechangelog -l packaging/debian/changelog -S Version)
tree=$work/conversion-qvr-$version
[[ -z $(git status --porcelain --untracked-files=no) ]] \
    || echo "package.sh: uncommitted changes are not in the package" >&2

rm -rf "$work"
mkdir -p "$tree"
git archive HEAD | tar -x -C "$tree"
mv "$tree/packaging/debian" "$tree/debian"
if [[ ${1:-} == --source-only ]]; then
    echo "$tree"
    exit 0
fi
(cd "$tree" && dpkg-buildpackage --build=binary --no-sign) >&2
mapfile -t debs < <(cd "$work" && ls -- *.deb)
checksums "$work" "${debs[@]}"
ls "$work"/conversion-qvr_"$version"_*.deb
