#!/usr/bin/env bash
# Makes OUT/drevonix-VERSION-win64.zip: the four programs, the DLLs they import and Qt's
# plugins in one folder. Unzipped anywhere it runs, and keeps Control.ini beside the
# programs while that folder may be written.
#
#   tools/package-windows.sh [--build DIR] OUT
#
# --build DIR takes the programs of a Windows build that exists (tools/test-windows.sh
# makes build-windows); without it the programs are built in build-windows-package.
set -euo pipefail
cd "$(dirname "$0")/.."
build=
if [ "${1:-}" = --build ]; then
    build=$2
    shift 2
fi
out=${1:?usage: tools/package-windows.sh [--build DIR] OUT}
if [ -z "$build" ]; then
    build=build-windows-package
    prefix=$(tools/windows-deps.sh)
    options=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/windows-toolchain.cmake"
        -DDREVONIX_WINDOWS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DDREVONIX_WERROR=ON
        -DDREVONIX_PROGRAMS_ONLY=ON)
    command -v ccache >/dev/null 2>&1 && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$build" "${options[@]}" >/dev/null
fi
cmake --build "$build" --target drevonix drevonix-demo drevonix-demo-ctl drevonix-cli
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=drevonix-$version-win64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/$name" >/dev/null
cp LICENSE "$stage/$name/LICENSE.txt"
mkdir -p "$out"
zip=$(cd "$out" && pwd)/$name.zip
rm -f "$zip"
(cd "$stage" && zip -qr9 "$zip" "$name")
echo "$zip"
