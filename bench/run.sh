#!/bin/sh
# Builds and runs every benchmark and prints one table: each figure beside
# the baseline measured in the same run.
#
#   bench/run.sh [requests per click-to-call run] [minutes of flapping]
#                                                 (defaults 2000 and 10)
#
# The reader runs natively (release build); the CTI latency, the link under
# faults, the idle host, TLS on the link and the click-to-call benchmarks
# drive the real veltrane.dll under Wine and Xvfb, TLS against two native
# simulators (one plain, one with TLS). The link benchmarks take about three
# minutes plus the flapping; the idle host about a minute and a half.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/setup-debian.sh

cmake --preset release >/dev/null && cmake --build build/release --target bench_reader_throughput cti-simulator >/dev/null
cmake --preset x64 >/dev/null && cmake --build build/x64 --target bench_cti_latency bench_flood bench_link bench_tls bench_web bench_idle bench_com_latency >/dev/null

out=$(mktemp)
tls=$(mktemp -d)
simulators=
cleanup() {
    for pid in $simulators; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$out" "$tls"
}
trap cleanup EXIT

# A simulator of the release build on ports of its choosing, writing them to $1.ports.
start_simulator() {
    name=$1
    shift
    build/release/tools/cti-simulator --port 0 --control-port 0 --ports-file "$tls/$name.ports" --no-stdin \
        --call-length 0 "$@" >"$tls/$name.log" 2>&1 &
    simulators="$simulators $!"
    tries=0
    until [ -f "$tls/$name.ports" ]; do
        tries=$((tries + 1))
        [ $tries -le 50 ] || { cat "$tls/$name.log"; exit 2; }
        sleep 0.1
    done
}
port_of() { sed -n "s/^$2=//p" "$tls/$1.ports"; }
run_wine() { xvfb-run -a -s "-screen 0 1024x768x24" cmake/wine-run.sh "$@"; }

echo "== reader and dispatch (native)"
build/release/bench/bench_reader_throughput | tee -a "$out"
echo "== CTI packet to host event (Wine)"
run_wine build/x64/bench/bench_cti_latency.exe 1000 | tee -a "$out"
echo "== a flood of server events (Wine)"
run_wine build/x64/bench/bench_flood.exe 20000 | tee -a "$out"
echo "== the COM object's events (Wine)"
run_wine build/x64/bench/bench_com_latency.exe 1000 | tee -a "$out"
echo "== CTI link under faults (Wine)"
run_wine build/x64/bench/bench_link.exe silent 2 2 | tee -a "$out"
run_wine build/x64/bench/bench_link.exe silent 0 0 | tee -a "$out"
run_wine build/x64/bench/bench_link.exe flap "${2:-10}" | tee -a "$out"
echo "== idle host: wake-ups per second (Wine)"
run_wine build/x64/bench/bench_idle.exe 30 | tee -a "$out" || echo "(idle wake-ups not measured)"
echo "== TLS on the CTI link (Wine, native simulators)"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=localhost \
    -keyout "$tls/server.key" -out "$tls/server.pem" >/dev/null 2>&1
fingerprint=$(openssl x509 -in "$tls/server.pem" -noout -fingerprint -sha256 | sed 's/^.*=//')
start_simulator plain
start_simulator tls --tls-cert "$tls/server.pem" --tls-key "$tls/server.key"
run_wine build/x64/bench/bench_tls.exe "$(port_of plain cti)" "$(port_of plain control)" \
    "$(port_of tls cti)" "$(port_of tls control)" "$fingerprint" | tee -a "$out"
echo "== click-to-call through the local command server (Wine)"
run_wine build/x64/bench/bench_web.exe "${1:-2000}" 1 | tee -a "$out" || echo "(some CALL packets did not arrive intact)"
wineserver -k 2>/dev/null || true

echo
echo "| Figure | Value | Baseline (same run) | Baseline value | Ratio |"
echo "|---|---:|---|---:|---:|"
grep '^ROW|' "$out" | awk -F'|' '{
    split($3, v, " "); split($5, b, " ");
    ratio = (b[1] + 0 != 0) ? sprintf("%.3g", v[1] / b[1]) : "-";
    printf "| %s | %s | %s | %s | %s |\n", $2, $3, $4, $5, ratio
}'
