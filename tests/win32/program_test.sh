#!/usr/bin/env bash
# The Windows program end to end under Wine (run inside xvfb.sh at the same
# density): what it imports, its version block, its layout at DPI and, at 96
# dpi, a user's session: real X keystrokes and clicks, the texts of the box
# and the result read back after every step by the probe, a Windows program.
# Usage: program_test.sh PROGRAM PROBE PREFIX DPI OBJDUMP
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
probe=$2
prefix=$3
dpi=$4
objdump=$5
# Wine's own texts (the box's context menu) in English, whatever the machine.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
failures=0
check() {
    if [[ "$2" == "$3" ]]; then
        echo "ok    $1"
    else
        echo "FAIL  $1: got '$2', want '$3'"
        failures=$((failures + 1))
    fi
}

# Only Windows' own DLLs.
imports=$("$objdump" -p "$program" | awk '/DLL Name:/ {print toupper($3)}' | sort | tr '\n' ' ')
check "imports" "$imports" "COMCTL32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL "

wine() { "$here/wine.sh" "$prefix-$dpi" "$dpi" "$@"; }
# The title, and where to click each control, as the form declares them.
sheet=$(wine "$probe" form | tr -d '\r')
title=$(sed -n 's/^title //p' <<<"$sheet")
declare -A centre
while read -r _ name left top width height; do
    centre[$name]="$((left + width / 2)) $((top + height / 2))"
done < <(grep '^control ' <<<"$sheet")
windows_path="Z:${program//\//\\}"
check "version block" "$(wine "$probe" version "$windows_path" | tr -d '\r')" "FILEVERSION 6.0.0.0
Translation 040C 04B0
FileVersion=6.00
ProductVersion=6.00
ProductName=Conversion QVR
FileDescription=Conversion des numéros de téléphone à 8 chiffres
CompanyName=Les auteurs de Conversion QVR
OriginalFilename=convqvr.exe"

# The form's pixels at 96 dpi, and where each control stands at another
# density: scaled and rounded as MulDiv does.
scale() { echo $(( ($1 * dpi + 48) / 96 )); }
expected_layout() {
    echo "client $(scale 210) $(scale 161)"
    while read -r name left top width height; do
        echo "$name $(scale "$left") $(scale "$top") $(scale "$width") $(scale "$height")"
    done <<'EOF'
Label1 16 8 121 17
nhc 24 24 81 24
Label2 16 56 177 25
qvr 16 80 177 33
Label3 8 120 201 41
Quitter 128 32 65 17
EOF
}

start() {
    wine "$program" &
    pid=$!
    wine "$probe" wait >/dev/null || { echo "FAIL  no window titled '$title'"; exit 1; }
    layout=$(wine "$probe" layout | tr -d '\r')
    check "layout at $dpi dpi" "$(grep -v '^origin' <<<"$layout")" "$(expected_layout)"
    read -r _ origin_x origin_y < <(grep '^origin' <<<"$layout")
    window=$(xdotool search --name "^${title}\$" | head -n1)
    xdotool windowfocus "$window"
}

# Clicks the middle of a control, in the window's own pixels.
click() {
    local x y
    read -r x y <<<"${centre[$1]}"
    xdotool mousemove $((origin_x + $(scale "$x"))) $((origin_y + $(scale "$y"))) click "${2:-1}"
}

texts() { wine "$probe" texts | tr -d '\r' | paste -sd'|'; }

step() {
    local what=$1 want=$2 got
    for _ in $(seq 50); do
        got=$(texts)
        [[ "$got" == "$want" ]] && break
        sleep 0.1
    done
    check "after $what: box|result" "$got" "$want"
}

quit() {
    click Quitter
    local status=0
    timeout 20 tail --pid="$pid" -f /dev/null || { echo "FAIL  still running"; kill "$pid"; exit 1; }
    wait "$pid" || status=$?
    check "Quitter ends the program at $dpi dpi" "$status" 0
}

start
if [[ $dpi -ne 96 ]]; then
    quit
    [[ $failures -eq 0 ]]
    exit
fi
check "at start: box|result" "$(texts)" "|"
typed=
for pair in 4:4 5:05.45... 6:05.45.6.. 7:05.45.67.. 8:05.45.67.8. 9:05.45.67.89. \
            0:05.45.67.89.0 1:05.45.67.89.01; do
    typed+=${pair%%:*}
    xdotool type "${pair%%:*}"
    step "typing ${pair%%:*}" "$typed|${pair#*:}"
done
xdotool type 2
step "a ninth digit" "45678901|05.45.67.89.01"
xdotool type a
step "a letter" "45678901|05.45.67.89.01"
xdotool key BackSpace
step "Backspace" "4567890|05.45.67.89.0"
click nhc
step "a click into the box" "|"
wine "$probe" clip 16145678901
click nhc 3
wine "$probe" menu >/dev/null || check "the box's context menu opens" no yes
xdotool key p
step "Paste from the box's context menu" "16145678901|01.45.67.89.01"
click nhc
step "a click into the box" "|"
# Wine's clipboard is the X clipboard: the shortcut pastes what X holds.
printf 16145678901 | xclip -selection clipboard
xdotool key ctrl+v
step "Paste with Ctrl+V" "16145678901|01.45.67.89.01"
xdotool type 3
step "a digit after the paste" "16145678901|01.45.67.89.01"
xdotool key BackSpace
step "Backspace after the paste" "1614567890|01.45.67.89.0"
click qvr 3
wine "$probe" menu >/dev/null || check "the result's context menu opens" no yes
xdotool key Down Return
for _ in $(seq 50); do
    [[ "$(xclip -o -selection clipboard 2>/dev/null)" == 01.45.67.89.0 ]] && break
    sleep 0.1
done
check "Copier copies the result" "$(xclip -o -selection clipboard 2>/dev/null)" 01.45.67.89.0
quit
[[ $failures -eq 0 ]]
