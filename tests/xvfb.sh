#!/usr/bin/env bash
# Runs a command on a private Xvfb display that lives exactly as long as it.
# Usage: xvfb.sh [--screen WxHxD] COMMAND...
set -euo pipefail

screen=640x480x24
if [[ "${1:-}" == "--screen" ]]; then
    screen=$2
    shift 2
fi

ready=$(mktemp)
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$ready" 2>/dev/null &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -f "$ready"' EXIT

# Xvfb writes its display number once it accepts clients.
for _ in $(seq 100); do
    [[ -s "$ready" ]] && break
    kill -0 $server 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
[[ -s "$ready" ]] || { echo "Xvfb did not become ready" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$ready")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
"$@"
