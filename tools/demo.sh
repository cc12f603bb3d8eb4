#!/usr/bin/env bash
# Installs what the demo needs, builds it, and starts the program on its built-in
# controller emulator.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh demo
options=(-G Ninja)
command -v ccache >/dev/null 2>&1 && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# A folder of its own, without the tests and benchmarks, whose libraries the demo set does
# not install: build/ stays free for a configuration with the tests.
options+=(-DDREVONIX_PROGRAMS_ONLY=ON)
cmake -S . -B build-demo "${options[@]}"
cmake --build build-demo --target drevonix-demo drevonix-demo-ctl
exec build-demo/bin/drevonix-demo
