# Sourced by the build scripts, from the root of the sources: what makes the
# same sources give the same bytes, wherever and whenever they are built.

# Every time stamp the builds write is the date of the newest changelog
# entry, as Debian's own tools take it, unless the caller gives another.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(date -d "$(sed -n 's/^ -- .*>  //p' packaging/debian/changelog | head -n1)" +%s)}
export SOURCE_DATE_EPOCH

# checksums FOLDER FILE...: writes FOLDER/SHA256SUMS for the files, named as
# a user who downloads them has them, and shows it.
checksums() {
    local folder=$1
    shift
    (cd "$folder" && sha256sum -- "$@" >SHA256SUMS && cat SHA256SUMS) >&2
    echo "checksums: $folder/SHA256SUMS" >&2
}
