#!/usr/bin/env bash
# Compiles every source that is not a Linux backend for Windows (mingw-w64, syntax only):
# there is no Qt for Windows here, so nothing links, but every Windows path and every
# shared file is checked against the Windows headers. Fails on any error or warning.
#
#   tools/check-windows.sh [BUILD_DIR]   (default: build; it must have been built, for the
#                                         headers that uic generates from the .ui forms)
#
# Linux-only files are named so and left out: *_linux.cpp, and anything in a linux/ folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cxx=x86_64-w64-mingw32-g++-posix # the POSIX thread model: the win32 one has no std::mutex
jobs=${DREVONIX_CHECK_JOBS:-2}

if ! command -v "$cxx" >/dev/null; then
  echo "check-windows: $cxx is missing (package g++-mingw-w64-x86-64)" >&2
  exit 1
fi
qt=$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
mapfile -t uic_dirs < <(find "$build" -path '*_autogen/include*' -name 'ui_*.h' -printf '%h\n' 2>/dev/null | sort -u)
if [ ${#uic_dirs[@]} -eq 0 ]; then
  echo "check-windows: no uic headers under $build; build the project first" >&2
  exit 1
fi

flags=(-fsyntax-only -std=c++20 -Wall -Wextra -Wpedantic -Werror
  # What Qt's CMake package defines for every target on Windows.
  -DUNICODE -D_UNICODE -DWIN32 -DMINGW_HAS_SECURE_API=1
  -Isrc -isystem "$qt" -isystem /usr/include/hidapi)
for m in QtCore QtGui QtWidgets QtCharts QtSvg QtNetwork; do flags+=(-isystem "$qt/$m"); done
for d in "${uic_dirs[@]}"; do flags+=(-isystem "$d"); done

mapfile -t sources < <(find src -name '*.cpp' ! -name '*_linux.cpp' ! -path '*/linux/*' | sort)
log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
start=$(date +%s)
# One compiler per source, $jobs at a time; each writes its own log so the output stays whole.
printf '%s\n' "${sources[@]}" | xargs -P "$jobs" -I{} sh -c \
  'f=$1; shift; "$@" "$f" >"'"$log"'/$(echo "$f" | tr / _).log" 2>&1 || echo "$f" >>"'"$log"'/failed"' \
  sh {} "$cxx" "${flags[@]}"
elapsed=$(($(date +%s) - start))

if [ -s "$log/failed" ]; then
  while read -r f; do
    echo "== $f" >&2
    cat "$log/$(echo "$f" | tr / _).log" >&2
  done <"$log/failed"
  echo "check-windows: $(wc -l <"$log/failed") of ${#sources[@]} sources do not compile for Windows" >&2
  exit 1
fi
echo "check-windows: ${#sources[@]} sources compile for Windows (${elapsed} s, $jobs jobs)"
