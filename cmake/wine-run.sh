#!/bin/sh
# Runs a Windows program under Wine for ctest and the tools.
#
# ctest waits for every process that holds its output pipes, and Wine's
# background processes inherit them; so wineserver and the first Wine
# process are started here with their output sent elsewhere, and only then
# is the program run. The prefix is created once, under a lock.
set -e
: "${WINEPREFIX:=${VELTRANE_WINEPREFIX:-$HOME/.cache/veltrane/wineprefix}}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The ANSI code page of the library's target systems is Korean (949).
export LANG=ko_KR.UTF-8 LC_ALL=ko_KR.UTF-8

mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            wineboot -i </dev/null >/dev/null 2>&1 || true
            wineserver -w
        fi
    ) 9>"$WINEPREFIX.lock"
fi
wineserver -p30 </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
exec wine "$@"
