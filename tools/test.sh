#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DDREVONIX_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2 --timeout 300
# The unit and widget tests again under AddressSanitizer and UBSan (build-asan), then the
# fuzz targets, 30 s each, in their own clang configuration (build-fuzz).
tools/test-sanitizers.sh
tools/test-fuzz.sh
