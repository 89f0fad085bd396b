#!/bin/sh
# Builds and runs every benchmark and prints one table: each figure beside
# the baseline measured in the same run.
#
#   bench/run.sh [requests per click-to-call run] [minutes of flapping]
#                                                 (defaults 2000 and 10)
#
# The reader runs natively (release build); the CTI latency, the link under
# faults, the idle host and the click-to-call benchmarks drive the real
# veltrane.dll under Wine and Xvfb. The link benchmarks take about three
# minutes plus the flapping; the idle host about a minute and a half.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/setup-debian.sh

cmake --preset release >/dev/null && cmake --build build/release --target bench_reader_throughput >/dev/null
cmake --preset x64 >/dev/null && cmake --build build/x64 --target bench_cti_latency bench_link bench_web bench_idle >/dev/null

out=$(mktemp)
trap 'rm -f "$out"' EXIT
run_wine() { xvfb-run -a -s "-screen 0 1024x768x24" cmake/wine-run.sh "$@"; }

echo "== reader and dispatch (native)"
build/release/bench/bench_reader_throughput | tee -a "$out"
echo "== CTI packet to host event (Wine)"
run_wine build/x64/bench/bench_cti_latency.exe 1000 | tee -a "$out"
echo "== CTI link under faults (Wine)"
run_wine build/x64/bench/bench_link.exe silent 2 2 | tee -a "$out"
run_wine build/x64/bench/bench_link.exe silent 0 0 | tee -a "$out"
run_wine build/x64/bench/bench_link.exe flap "${2:-10}" | tee -a "$out"
echo "== idle host: wake-ups per second (Wine)"
run_wine build/x64/bench/bench_idle.exe 30 | tee -a "$out" || echo "(idle wake-ups not measured)"
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
