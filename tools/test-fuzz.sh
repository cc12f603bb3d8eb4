#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer
# inside) in a folder of their own, fuzzes each for a bounded time from a copy of its
# seed corpus, and prints how many inputs each one ran. Fails when a target ran no more
# inputs than its seeds.
#   tools/test-fuzz.sh [SECONDS_PER_TARGET]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${DREVONIX_FUZZ_BUILD:-build-fuzz}
seconds=${1:-30}
options=(-G Ninja -DDREVONIX_FUZZ=ON -DDREVONIX_WERROR=ON -DDREVONIX_BENCH=OFF -DDREVONIX_E2E=OFF
    -DDREVONIX_FUZZ_SECONDS="$seconds")
command -v ccache >/dev/null 2>&1 && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B "$build" "${options[@]}"
targets=(fuzz_report_dispatch fuzz_ini_file fuzz_number_syntax fuzz_vk_table)
cmake --build "$build" -j2 --target "${targets[@]}"
summary=$build/tests/fuzz/fuzz-executions.txt
rm -f "$summary"
status=0
tools/ctest-all-ran.sh --test-dir "$build" --output-on-failure -j2 -L fuzz || status=$?
echo "Fuzzing, ${seconds} s per target:"
cat "$summary" 2>/dev/null || true
# A target that ran no more inputs than its seeds only replayed them: it never fuzzed.
for target in "${targets[@]}"; do
    seeds=$(find "tests/fuzz/corpus/$target" -type f | wc -l)
    runs=$(sed -n "s/^$target: \([0-9]*\) executions.*/\1/p" "$summary" 2>/dev/null | tail -1)
    if [ -z "$runs" ] || [ "$runs" -le "$seeds" ]; then
        echo "$target ran ${runs:-no} inputs for its $seeds seeds: it did not fuzz" >&2
        status=1
    fi
done
exit "$status"
