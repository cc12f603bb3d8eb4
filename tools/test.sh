#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DDREVONIX_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2 --timeout 300
