#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
# The house format holds everywhere, before anything is built.
find src tests bench \( -name '*.cpp' -o -name '*.hpp' \) -print0 |
  xargs -0 clang-format --dry-run -Werror
options=(-G Ninja -DDREVONIX_WERROR=ON -DDREVONIX_PROGRAMS_ONLY=OFF -DDREVONIX_MAN=ON)
command -v ccache >/dev/null 2>&1 && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build "${options[@]}"
cmake --build build
# The .deb from its own configuration (build-package), and lintian on it; the kernel lane's
# systemd boot installs this very file.
package_out=$(mktemp -d)
trap 'rm -rf "$package_out"' EXIT
tools/package.sh "$package_out"
DREVONIX_DEB=$(ls "$package_out"/drevonix_*.deb)
export DREVONIX_DEB
# Green only when every test ran: a skipped test fails the run, named.
tools/ctest-all-ran.sh --test-dir build --output-on-failure -j2 --timeout 300
# The Windows build (Qt for Windows from the cache, or built into it once per machine:
# about 35 minutes on two cores), and its tests under wine (label windows).
tools/test-windows.sh build-windows
# The unit and widget tests again under AddressSanitizer and UBSan (build-asan), then the
# fuzz targets, 30 s each, in their own clang configuration (build-fuzz).
tools/test-sanitizers.sh
tools/test-fuzz.sh
