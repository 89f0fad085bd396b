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
# One program at a time gets Wine going: the prefix on the very first run,
# then wineserver and the background processes (services, the desktop
# window), each with its output sent elsewhere. Without the lock, two tests
# started together race, and a background process may start from a test
# program instead, holding that test's pipes until the whole run is over.
(
    flock 9
    # (9>&-: what Wine leaves running must not hold the lock.)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
        wineserver -w 9>&-
    fi
    wineserver -p30 </dev/null >/dev/null 2>&1 9>&- || true
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$WINEPREFIX.lock"
# A Wine process that the program starts on its way (rpcss for COM, the
# desktop, a browser) may outlive it and would hold ctest's pipes for the
# rest of the run: to a pipe, the program's output goes through files, and
# is handed on when the program ends.
if [ -p /dev/stdout ]; then
    out=$(mktemp)
    err=$(mktemp)
    status=0
    wine "$@" >"$out" 2>"$err" || status=$?
    cat "$out"
    cat "$err" >&2
    rm -f "$out" "$err"
    exit $status
fi
exec wine "$@"
