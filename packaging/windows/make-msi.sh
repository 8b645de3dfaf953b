#!/usr/bin/env bash
# Makes the Windows Installer package of the Windows programs with wixl, then
# with msitools' own msibuild adds what wixl cannot write: the folder on the
# system PATH, the database's code page, and a summary with a package code
# and dates of its own, so that the same sources always make the same bytes.
# Usage: make-msi.sh OUT WXS ORGANISATION PROGRAM_DIR FILE...
# (WXS: the package's description, which CMake configures; FILE: what it
# installs, from PROGRAM_DIR)
set -euo pipefail
out=$(realpath -m "$1")
wxs=$(realpath "$2")
organisation=$3
programs=$(realpath "$4")
shift 4
files=("$@")
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/../.."
source scripts/reproducible.sh

# A GUID that a text always gives: the start of its SHA-256.
guid() {
    sha256sum | sed -E 's/^(.{8})(.{4})(.{4})(.{4})(.{12}).*/\U\1-\2-\3-\4-\5/'
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for file in "${files[@]}"; do
    install -m 0644 "$programs/$file" "$work/"
done
install -m 0644 resources/icons/convqvr.ico "$work/"
# The cabinet keeps the files' times.
touch -d "@$SOURCE_DATE_EPOCH" "$work"/*
install -m 0644 "$wxs" "$work/conversion-qvr.wxs"
package=$(cd "$work" && cat conversion-qvr.wxs "${files[@]}" convqvr.ico | guid)

# wixl and msibuild date the summary with the clock: it is stopped at the
# date of the sources, whatever clock a caller's faketime gave, while the
# files' own times, which the cabinet keeps, are left as they are.
at() {
    env -u LD_PRELOAD -u FAKETIME TZ=UTC NO_FAKE_STAT=1 \
        faketime -f "$(TZ=UTC date -d "@$SOURCE_DATE_EPOCH" '+%F %T')" "$@"
}
(cd "$work" && at wixl --arch x64 -o package.msi conversion-qvr.wxs)
# wixl writes its strings in UTF-8 but leaves the database's code page
# unset, which Windows would read in its own: the code page is set to say so.
at msibuild "$work/package.msi" -i packaging/windows/Environment.idt \
    -i packaging/windows/_ForceCodepage.idt \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -s "Conversion QVR" "$organisation" "x64;1036" "{$package}"
mv "$work/package.msi" "$out"
