#!/usr/bin/env bash
# Runs a Windows program under Wine: the cross build's emulator (CMAKE_CROSSCOMPILING_EMULATOR),
# so ctest and the build's own steps run the .exe files through it.
#   scripts/wine-run.sh PROGRAM.exe [ARGUMENTS...]
# One Wine prefix serves every run: WINEPREFIX, or build-windows/wine (made on the first run, kept
# warm by a wineserver that stays up a while between runs). SDL2.dll is found beside the
# program or in build-windows/. No console window, no Wine messages, no Mono or Gecko dialogs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build-windows/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}"
export WINEPATH="${WINEPATH:-Z:${root//\//\\}\\build-windows}"
wine=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    # Made once, under a lock: ctest starts several programs at a time.
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$wine" wineboot --init >/dev/null 2>&1
        /usr/lib/wine/wineserver -w
    fi
    exec 9>&-
fi
# A server that outlives each program by a minute saves starting Wine anew for every test
# (TAVLO_WINE_LINGER=0: the usual few seconds, for a caller that waits for the server to end).
/usr/lib/wine/wineserver -p"${TAVLO_WINE_LINGER:-60}" >/dev/null 2>&1 || true
exec "$wine" "$@"
