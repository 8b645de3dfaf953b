#!/usr/bin/env bash
# Runs the accessibility check on a private D-Bus session with the
# accessibility bus, as a desktop provides them.
# Usage: accessibility_test.sh PROGRAM WINDOW_PROGRAM  (run inside xvfb.sh)
set -euo pipefail
here=$(dirname "$0")
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
exec dbus-run-session -- /usr/bin/python3 "$here/accessibility_test.py" "$1" "$2"
