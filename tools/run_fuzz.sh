#!/usr/bin/env bash
# Runs every fuzz target of a sanitizer build for a bounded time, starting from its seed corpus.
# Fails when a target finds a crash, a leak, a sanitizer report or a broken invariant; the input
# is kept under <build>/fuzz-runs/<target>/ to be turned into a regression test.
#
#   tools/run_fuzz.sh BUILD_DIR [SECONDS_PER_TARGET]
set -uo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: tools/run_fuzz.sh BUILD_DIR [SECONDS_PER_TARGET]}
seconds=${2:-${QUILLON_FUZZ_SECONDS:-60}}
build=$(cd "$build" && pwd)
seeds=$(pwd)/tests/fuzz/corpus

# Per target: the longest input, and a dictionary where one helps.
declare -A options=(
    [log_reader]="-max_len=16384 -len_control=10 -dict=$(pwd)/tests/fuzz/log_reader.dict"
    [analysis_pass]="-max_len=8192 -len_control=10"
    [register_decode]="-max_len=2048"
    [pcap_reader]="-max_len=8192"
)

status=0
for target in log_reader analysis_pass register_decode pcap_reader; do
    binary=$build/tests/fuzz/fuzz_$target
    if [ ! -x "$binary" ]; then
        echo "run_fuzz: $binary is missing (configure with -DQUILLON_FUZZ=ON and clang)" >&2
        status=1
        continue
    fi
    work=$build/fuzz-runs/$target
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/artifacts"
    # The monitor writes its backup file into the working folder: keep it in the run's folder.
    # shellcheck disable=SC2086
    (cd "$work" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" ${options[$target]} \
        "$work/corpus" "$seeds/$target" > "$work/log" 2>&1)
    result=$?
    summary=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | tail -1)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
    if [ $result -eq 0 ]; then
        echo "fuzz $target: $runs runs in ${seconds}s, $(echo ${summary#*DONE})"
    else
        status=1
        echo "fuzz $target: FAILED after ${runs:-?} runs (exit $result); log: $work/log" >&2
        grep -E 'BROKEN INVARIANT|ERROR: |SUMMARY: |runtime error|Assertion|Test unit written' \
            "$work/log" | head -20 >&2
    fi
done
exit $status
