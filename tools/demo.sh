#!/usr/bin/env bash
# Installs what the demo needs, builds it, and starts the program on its built-in
# controller emulator.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh demo
options=(-G Ninja)
command -v ccache >/dev/null 2>&1 && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# A first configuration here leaves out the tests and benchmarks, whose libraries the demo
# set does not install; an existing build folder keeps its configuration.
[ -f build/CMakeCache.txt ] || options+=(-DDREVONIX_PROGRAMS_ONLY=ON)
cmake -S . -B build "${options[@]}"
cmake --build build --target drevonix-demo drevonix-demo-ctl
exec build/bin/drevonix-demo
