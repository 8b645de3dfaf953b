#!/usr/bin/env bash
# Runs a command on a private Xvfb display, with a D-Bus session bus of its
# own, both living exactly as long as it. Without a session bus the toolkit's
# D-Bus library would try to launch one through the X server.
# Usage: xvfb.sh [--screen WxHxD] [--dpi N] COMMAND...
set -euo pipefail

screen=640x480x24
dpi=96
while [[ "${1:-}" == --* ]]; do
    case $1 in
        --screen) screen=$2 ;;
        --dpi) dpi=$2 ;;
        *) echo "xvfb.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done

ready=$(mktemp)
Xvfb -displayfd 3 -screen 0 "$screen" -dpi "$dpi" -nolisten tcp -noreset 3>"$ready" 2>/dev/null &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -f "$ready"' EXIT

# Xvfb writes its display number once it accepts clients.
for _ in $(seq 300); do
    [[ -s "$ready" ]] && break
    kill -0 $server 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
[[ -s "$ready" ]] || { echo "Xvfb did not become ready" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$ready")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
dbus-run-session -- "$@"
