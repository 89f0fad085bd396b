#!/bin/sh
# Runs a scripted session of veltrane.dll against the CTI simulator and
# prints its transcript: the host console's lines (every host event with its
# time stamp, marked cb for the callback and wm for WM_COPYDATA) and then
# the simulator's log of every packet both ways.
#
#   tools/run-session.sh [--no-build] [--tls] [SCRIPT]     (default tools/session/demo.vts)
#
# Builds the native simulator and the x64 DLL and console (unless
# --no-build), starts the simulator on free loopback ports, writes config.ini
# into a temporary base folder, and runs the console under Wine and Xvfb in
# a Wine prefix of its own (VELTRANE_SESSION_WINEPREFIX), whose processes
# are ended afterwards. The exit code is the console's: 0 when every
# expectation of the script held.
#
# With --tls the CTI link is encrypted: the simulator speaks TLS with a
# self-signed certificate made here, and config.ini turns CTI_TLS on and
# names that certificate by its SHA-256 fingerprint.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

build=yes
tls=no
while [ $# -gt 0 ]; do
    case "$1" in
    --no-build) build=no ;;
    --tls) tls=yes ;;
    *) break ;;
    esac
    shift
done
script=$(cd "$(dirname "${1:-$root/tools/session/demo.vts}")" && pwd)/$(basename "${1:-demo.vts}")
[ -f "$script" ] || { echo "run-session: no script $script" >&2; exit 2; }

if [ "$build" = yes ]; then
    "$root/tools/setup-debian.sh"
    (cd "$root" && cmake --preset native >/dev/null && cmake --build build/native --target cti-simulator >/dev/null)
    (cd "$root" && cmake --preset x64 >/dev/null && cmake --build build/x64 --target veltrane host-console >/dev/null)
fi
simulator=$root/build/native/tools/cti-simulator
console=$root/build/x64/tools/console/host-console.exe
dll=$root/build/x64/kit/bin/veltrane.dll
for file in "$simulator" "$console" "$dll"; do
    [ -f "$file" ] || { echo "run-session: $file is missing (build it, or drop --no-build)" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-session.XXXXXX")
WINEPREFIX=${VELTRANE_SESSION_WINEPREFIX:-$HOME/.cache/veltrane/session-wineprefix}
export WINEPREFIX
sim_pid=
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    # The prefix is this script's own: what Wine left running there ends
    # with its server.
    wineserver -k 2>/dev/null || true
    if [ -n "${VELTRANE_SESSION_KEEP:-}" ]; then echo "run-session: files kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The simulator's own options: TLS, or none.
set --
if [ "$tls" = yes ]; then
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=localhost \
        -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" -keyout "$work/server.key" -out "$work/server.pem" \
        >/dev/null 2>&1 || { echo "run-session: openssl could not make a certificate" >&2; exit 2; }
    fingerprint=$(openssl x509 -in "$work/server.pem" -noout -fingerprint -sha256 | sed 's/^.*=//')
    set -- --tls-cert "$work/server.pem" --tls-key "$work/server.key"
    echo "run-session: TLS on the CTI link, the simulator's certificate SHA-256 $fingerprint"
fi

# The simulator picks its ports and writes them down.
"$simulator" --port 0 --control-port 0 --web-port 0 --ports-file "$work/ports" --no-stdin \
    --answer-after 1000 --call-length 3000 "$@" >"$work/simulator.log" 2>&1 &
sim_pid=$!
tries=0
until [ -f "$work/ports" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 50 ] || ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "run-session: the simulator did not start" >&2
        cat "$work/simulator.log" >&2
        exit 2
    fi
    sleep 0.1
done
cti_port=$(sed -n 's/^cti=//p' "$work/ports")
control_port=$(sed -n 's/^control=//p' "$work/ports")
web_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# Wine shows the Linux root as drive Z:.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
base=$work/base
mkdir -p "$base"
printf '[Connect]\r\nCTI_IPs=127.0.0.1\r\nCTI_PORT=%s\r\nWEB_PORT=%s\r\n' "$cti_port" "$web_port" >"$base/config.ini"
if [ "$tls" = yes ]; then
    printf 'CTI_TLS=Y\r\nCTI_TLS_CERT_SHA256=%s\r\n' "$fingerprint" >>"$base/config.ini"
fi

# WEB_REQUEST opens its page in the default browser when Internet
# Explorer's automation fails, as it does under Wine: Wine's browser
# launcher, for HTML files too, running headless Chromium.
wine_reg() {
    sh "$root/cmake/wine-run.sh" reg add "$@" /f >/dev/null 2>&1 || echo "run-session: could not set $1 in the Wine prefix" >&2
}
wine_reg 'HKCR\.html' /ve /d htmlfile
wine_reg 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$root/tools/headless-browser.sh"
# Ended (the registry is saved): its desktop has no display, the console's
# must have Xvfb's.
wineserver -k 2>/dev/null || true

status=0
xvfb-run -a -s "-screen 0 1024x768x24" sh "$root/cmake/wine-run.sh" "$console" \
    --dll "$(windows_path "$dll")" --base "$(windows_path "$base")\\" --title "Veltrane Demo Host" \
    --sim "127.0.0.1:$control_port" --script "$(windows_path "$script")" \
    >"$work/transcript.txt" 2>"$work/console.err" || status=$?

echo "=== host console: $(basename "$script")"
cat "$work/transcript.txt"
if grep -qv 'X connection to .* broken' "$work/console.err" 2>/dev/null; then
    echo "=== console errors"
    grep -v 'X connection to .* broken' "$work/console.err"
fi
echo "=== CTI simulator"
cat "$work/simulator.log"
if [ $status -ne 0 ]; then
    # The library writes its log in the ANSI code page (CP949); a carriage
    # return inside a line separates the fields of one entry.
    echo "=== end of the library's diagnostic log"
    cat "$base"/LOG/*_dll.txt 2>/dev/null | iconv -f CP949 -t UTF-8 -c | sed 's/\r$//' | tr '\r' '\t' | tail -n 30 || true
fi
exit $status
