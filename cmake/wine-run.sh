#!/usr/bin/env bash
# Runs a Windows program under Wine with the build's own prefix.
# The prefix is created once, without Mono/Gecko so Wine never asks to download them.
set -u
: "${VANDREL_WINEPREFIX:=${CMAKE_BINARY_DIR:-$PWD}/wineprefix}"
export WINEPREFIX="$VANDREL_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
WINE=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            "$WINE" wineboot -i >/dev/null 2>&1
            # A fresh prefix has no "Arial"; Liberation Sans is its metric twin, as on Windows.
            "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial \
                /d 'Liberation Sans' /f >/dev/null 2>&1
        fi
        /usr/lib/wine/wineserver -w
    ) 9>"$WINEPREFIX.lock"
fi
exec "$WINE" "$@"
