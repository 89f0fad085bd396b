#!/bin/sh
# Builds the libFuzzer targets (preset fuzz, clang) and runs each for a
# bounded time from the seed corpus in tests/fuzz/corpus; any finding (a
# crash, a sanitizer report, a differential mismatch) fails the run.
#
#   tools/fuzz.sh [seconds per target]     (default 60)
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target fuzz_cti_reader fuzz_http_request

status=0
for target in cti_reader http_request; do
    # New inputs go to a scratch folder: the corpus in the repository stays small.
    work=$(mktemp -d)
    echo "== fuzz_$target, ${seconds} s"
    dict=""
    [ -f "tests/fuzz/$target.dict" ] && dict="-dict=tests/fuzz/$target.dict"
    if ! build/fuzz/tests/fuzz/fuzz_$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 $dict \
            -print_final_stats=1 -artifact_prefix="build/fuzz/$target-" "$work" "tests/fuzz/corpus/$target" \
            2>"build/fuzz/$target.log"; then
        tail -n 40 "build/fuzz/$target.log"
        echo "fuzz_$target: finding kept as build/fuzz/$target-*"
        status=1
    else
        grep -E '^stat::number_of_executed_units' "build/fuzz/$target.log" || true
    fi
    rm -rf "$work"
done
exit $status
