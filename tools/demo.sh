#!/usr/bin/env bash
# Installs what the demo needs, builds it, and starts the program on its built-in
# controller emulator.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh demo
options=(-G Ninja)
command -v ccache >/dev/null 2>&1 && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# A first build here is the demo's alone: no tests, benchmarks or manual pages, whose tools
# the demo set does not install. An existing build folder keeps its configuration.
[ -f build/CMakeCache.txt ] || options+=(-DDREVONIX_PROGRAMS_ONLY=ON -DDREVONIX_MAN=OFF)
cmake -S . -B build "${options[@]}"
cmake --build build --target drevonix-demo drevonix-demo-ctl
exec build/bin/drevonix-demo
