#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SEED_CORPUS WORK_DIR SECONDS SUMMARY [libFuzzer flags...]
# Fuzzes from a fresh copy of the seed corpus (the checked-in one is never written) and
# appends "NAME: N executions in S s" to SUMMARY. Any crash, leak or sanitizer report
# fails the test; the input that caused it is left in WORK_DIR/artifacts/.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4 summary=$5
shift 5
name=$(basename "$fuzzer")
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp -r "$seeds"/. "$work/corpus/"
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
status=0
"$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$@" "$work/corpus" >"$work/log.txt" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt" | tail -1)
echo "$name: ${runs:-?} executions in $seconds s, corpus $(ls "$work/corpus" | wc -l) inputs" \
    | tee -a "$summary"
if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log.txt"
    ls -l "$work/artifacts"
fi
exit "$status"
