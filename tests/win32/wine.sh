#!/usr/bin/env bash
# Runs a Windows program under Wine, in a prefix of the tests' own, made on
# first use at the given density: Wine's own fonts where Windows keeps its
# fonts (or MS Sans Serif silently becomes another face), and Wine drawing
# the window frames itself, as no window manager runs.
# Usage: wine.sh PREFIX DPI PROGRAM [ARGUMENTS...]
set -euo pipefail
prefix=$1
dpi=$2
shift 2

first() {
    local candidate
    for candidate in "$@"; do
        command -v "$candidate" && return
    done
    echo "wine.sh: none of $* here" >&2
    return 1
}
wine=$(first wine /usr/lib/wine/wine64 /usr/lib/wine/wine wine64)
wineserver=$(first wineserver /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The menus, icons and file types that Wine makes for the desktop, for what
# it installs, stay beside the prefix.
export XDG_DATA_HOME=$prefix.desktop/share XDG_CONFIG_HOME=$prefix.desktop/config

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [[ ! -f "$prefix/ready" ]]; then
    rm -rf "$prefix"
    "$wine" wineboot --init >/dev/null 2>&1
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
    # The density, where Wine 8 and Wine 10 each read it.
    for key in 'HKCU\Control Panel\Desktop' \
        'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
        "$wine" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    done
    # The settings take effect when the server next reads the registry.
    "$wineserver" -k || true
    "$wineserver" -w || true
    touch "$prefix/ready"
fi
flock -u 9
exec "$wine" "$@"
