#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on its built-in controller
# emulator.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build --target drevonix-demo
exec build/bin/drevonix-demo
