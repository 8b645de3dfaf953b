#!/usr/bin/env bash
# Runs wayland_test.py on a D-Bus session of its own. The compositor will not
# run as root, so as root everything runs as the unprivileged user nobody,
# from copies of the program and the input helper in a scratch folder it can
# reach; the screenshot and the compositor's log are copied to WORK_DIR.
# Usage: wayland_test.sh PROGRAM INPUT_HELPER WORK_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
results=$3
rm -rf "$results"
mkdir -p "$results"
work=$(mktemp -d "${TMPDIR:-/tmp}/convqvr-wayland.XXXXXX")
trap 'cp "$work"/*.png "$work"/*.log "$results"/ 2>/dev/null; rm -rf "$work"' EXIT
cp "$1" "$work/convqvr"
cp "$2" "$work/wayland_input"
cp "$here/wayland_test.py" "$here/atspi_session.py" "$here/form_sheet.py" "$here/scenario.py" \
    "$here/scenario.txt" "$work/"
cp -r "$here/files" "$work/files"
cp "$CONVQVR_FORM" "$work/form.txt"
export CONVQVR_FORM=$work/form.txt
run=()
if [[ $(id -u) -eq 0 ]]; then
    chmod -R a+rX "$work"
    chown nobody "$work"
    run=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
fi
export HOME=$work XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config
status=0
"${run[@]}" dbus-run-session -- /usr/bin/python3 "$work/wayland_test.py" \
    "$work/convqvr" "$work/wayland_input" "$work" || status=$?
exit $status
