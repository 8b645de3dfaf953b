#!/usr/bin/env bash
# Proves that the same commit always makes the same bytes: the committed tree
# is cloned twice and each clone makes the Windows release, the page for
# browsers and the Debian package with the build scripts. The second clone
# lies elsewhere and deeper, with other file times, and is built with a
# clock 398 days ahead, by another user (when run as root), with another
# umask, locale, time zone, home and number of jobs. Every file of both SHA256SUMS must match;
# diffoscope shows any that differs.
# With --reprotest, the Debian package is made twice by Debian's reprotest
# instead, which also varies the clock, the kernel, the host name and more.
# Usage: scripts/reproduce.sh [--reprotest]
set -euo pipefail
cd "$(dirname "$0")/.."

reprotest=false
case ${1:-} in
    --reprotest) reprotest=true ;;
    "") ;;
    *) echo "usage: reproduce.sh [--reprotest]" >&2; exit 2 ;;
esac
scripts/setup.sh --package --windows --web --reproduce

work=$(mktemp -d "${TMPDIR:-/tmp}/convqvr-reproduce.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
first=$work/first/conversion-qvr
second=$work/second/somewhere/else/conversion-qvr
git clone --quiet --no-hardlinks . "$first"
git clone --quiet --no-hardlinks . "$second"
echo "== reproducing $(git rev-parse --short HEAD)"

# build CLONE: the three builds; their output goes to CLONE.log.
build() {
    local scripts=(build-windows.sh build-web.sh)
    echo "-- building in $1 as user $(id -u), umask $(umask), TZ=$TZ, locale ${LC_ALL:-$LANG}, on $(date -u '+%F %T')"
    $reprotest || scripts+=(package.sh)
    for script in "${scripts[@]}"; do
        "$1/scripts/$script" >>"$1.log" 2>&1 \
            || { tail -n 40 "$1.log"; echo "FAIL  $script in $1"; return 1; }
    done
}

(umask 022; TZ=UTC LC_ALL=C.UTF-8 build "$first")

# Sources a year older, as a tarball or another checkout would leave them.
find "$second" -exec touch -h -d '2025-01-02 03:04:05' {} +
mkdir -p "$work/second/home"
as=()
if [[ $(id -u) -eq 0 ]]; then
    chown -R 65534:65534 "$work/second"
    as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
    echo "(not root: the second build is made by the same user)"
fi
(umask 077
 unset LC_ALL
 export HOME=$work/second/home TZ='<+1345>-13:45' LANG=fr_FR.UTF-8 LANGUAGE=fr
 export CMAKE_BUILD_PARALLEL_LEVEL=1 DEB_BUILD_OPTIONS=parallel=1
 "${as[@]}" faketime -f +398d bash -c "$(declare -f build); reprotest=$reprotest build $second")

# compare FOLDER: the files listed in FOLDER/SHA256SUMS of both builds.
status=0
compare() {
    echo "== $1/SHA256SUMS"
    if cmp -s "$first/$1/SHA256SUMS" "$second/$1/SHA256SUMS"; then
        cat "$first/$1/SHA256SUMS"
        return
    fi
    status=1
    diff "$first/$1/SHA256SUMS" "$second/$1/SHA256SUMS" || true
    local sum name
    while read -r sum name; do
        grep -qxF "$sum  $name" "$second/$1/SHA256SUMS" && continue
        echo "FAIL  $name differs between the two builds:"
        diffoscope --text - "$first/$1/$name" "$second/$1/$name" | head -n 300 || true
    done <"$first/$1/SHA256SUMS"
}
compare build/windows/release
compare build/web/web
if $reprotest; then
    tree=$(cd "$first" && scripts/package.sh --source-only 2>>"$first.log")
    # Reading files in another order needs FUSE, and another user an account of
    # its own: the second build above has varied the user already. Other
    # host and domain names need a user namespace, which a chroot cannot make.
    vary=+all,-fileordering,-user_group
    if ! unshare -r --uts true 2>/dev/null; then
        vary+=,-domain_host
        echo "(no user namespace here: the host and domain names stay the same)"
    fi
    echo "== reprotest of the Debian package (--vary=$vary)"
    reprotest --vary="$vary" --store-dir="$work/reprotest" "$tree" -- null \
        >"$work/reprotest.log" 2>&1 || { status=1; tail -n 300 "$work/reprotest.log"; }
    sed -n '/^Reproduction/,$p' "$work/reprotest.log"
else
    compare build/package
fi
if [[ $status -eq 0 ]]; then
    echo "reproducible: every file the same in both builds ($SECONDS s)"
else
    echo "FAIL  not reproducible ($SECONDS s)"
fi
exit "$status"
