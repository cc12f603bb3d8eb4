#!/usr/bin/env bash
# Makes OUT/drevonix-VERSION-win64.zip: the four programs, the DLLs they import and Qt's
# plugins in one folder. Unzipped anywhere it runs, and keeps Control.ini beside the
# programs while that folder may be written. And OUT/drevonix-VERSION-setup.exe, the
# installer of the same folder (packaging/windows/drevonix.nsi, NSIS's makensis).
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
command -v makensis >/dev/null || { echo "package-windows: makensis is missing (tools/install-deps.sh windows)" >&2; exit 1; }
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

# The uninstaller deletes the files of this very tree, one by one, and then their folders,
# deepest first: never a whole folder, which holds the user's Control.ini.
lists=$stage/lists
mkdir "$lists"
(
    cd "$stage/$name"
    find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|'
) >"$lists/uninstall.nsh"
setup=$(cd "$out" && pwd)/drevonix-$version-setup.exe
nsis=(-V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage/$name" -DLISTS="$lists"
    -DOUTFILE="$setup")
[ -f "$build/windows-icon/drevonix.ico" ] && nsis+=(-DICON="$(cd "$build" && pwd)/windows-icon/drevonix.ico")
makensis "${nsis[@]}" packaging/windows/drevonix.nsi >/dev/null
echo "$zip"
echo "$setup"
