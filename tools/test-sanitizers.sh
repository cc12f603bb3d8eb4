#!/usr/bin/env bash
# Builds the program and its unit and widget tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in a folder of its own, and runs them. Any sanitizer report
# stops the test it happened in, and so fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${DREVONIX_ASAN_BUILD:-build-asan}
options=(-G Ninja -DDREVONIX_WERROR=ON -DDREVONIX_SANITIZE=ON -DDREVONIX_BENCH=OFF
    -DDREVONIX_E2E=OFF -DDREVONIX_MAN=OFF)
command -v ccache >/dev/null 2>&1 && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" "${options[@]}"
cmake --build "$build" -j2
# Leaks are ours to find too; tools/lsan.supp says which reports are not.
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The fuzz targets have their own configuration (tools/test-fuzz.sh).
tools/ctest-all-ran.sh --test-dir "$build" --output-on-failure -j2 --timeout 600 -LE fuzz
