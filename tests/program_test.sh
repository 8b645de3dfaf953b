#!/usr/bin/env bash
# The built program on a real X server: its window appears with its title and
# size, and both the button and the window's close request end it with status 0.
# Usage: program_test.sh PROGRAM CLOSE_WINDOW  (run inside xvfb.sh)
set -euo pipefail
program=$1
close_window=$2
# The title, and where to click Quitter, as the form declares them.
title=$(sed -n 's/^title //p' "$CONVQVR_FORM")
read -r _ _ left top width height < <(grep '^control Quitter ' "$CONVQVR_FORM")
quitter=("$((left + width / 2))" "$((top + height / 2))")

start() {
    "$program" &
    pid=$!
    window=$(timeout 60 xdotool search --sync --onlyvisible --name "^${title}\$" | head -n1)
    [[ -n "$window" ]] || { echo "no window titled '$title'"; exit 1; }
    [[ "$(xdotool getwindowname "$window")" == "$title" ]] || { echo "wrong title"; exit 1; }
    local size
    size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
    [[ "$size" == "210x161" ]] || { echo "window is $size, not 210x161"; exit 1; }
    # What the frame may offer (Motif hints, read by X11 window managers):
    # minimise and close, but no maximise for a window of fixed size.
    local hints functions decorations
    hints=$(xprop -id "$window" _MOTIF_WM_HINTS | sed -n 's/.* = //p' | tr -d ' ')
    IFS=, read -r _ functions decorations _ <<<"$hints"
    (( (functions & 8) && (functions & 32) && !(functions & 16) && !(decorations & 64) )) \
        || { echo "the frame's hints are '$hints': want minimise and close, no maximise"; exit 1; }
}

finish() {
    local how=$1 status=0
    timeout 30 tail --pid="$pid" -f /dev/null || { echo "$how: still running"; kill "$pid"; exit 1; }
    wait "$pid" || status=$?
    [[ $status -eq 0 ]] || { echo "$how: exit status $status"; exit 1; }
    echo "$how: window closed, exit status 0"
}

start
xdotool type --window "$window" 4212
xdotool mousemove --window "$window" "${quitter[@]}" click 1
finish "Quitter"

start
"$close_window" "$window"
finish "close request"
