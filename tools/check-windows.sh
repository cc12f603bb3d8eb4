#!/usr/bin/env bash
# Compiles every source that is not a Linux backend for Windows (mingw-w64, syntax only):
# there is no Qt for Windows here, so nothing links, but every Windows path and every
# shared file is checked against the Windows headers. Fails on any error or warning.
#
#   tools/check-windows.sh [--tests] [BUILD_DIR]
#
# BUILD_DIR (default: build) must have been built: each source gets the defines and include
# folders of its own target from BUILD_DIR/compile_commands.json, the headers that uic
# generates from the .ui forms among them. A Windows-only source, absent from a Linux
# build, gets those of a neighbour in its folder. --tests checks the unit and widget tests
# as well (about twice the time).
#
# Linux-only files are named so and left out: *_linux.cpp, *_linux_test.cpp, and anything
# in a linux/ folder.
set -euo pipefail
cd "$(dirname "$0")/.."
roots=(src)
if [ "${1:-}" = --tests ]; then
  roots+=(tests/unit tests/ui)
  shift
fi
build=${1:-build}
cxx=x86_64-w64-mingw32-g++-posix # the POSIX thread model: the win32 one has no std::mutex
jobs=${DREVONIX_CHECK_JOBS:-2}

for tool in "$cxx" python3; do
  command -v "$tool" >/dev/null || {
    echo "check-windows: $tool is missing (tools/install-deps.sh test installs it)" >&2
    exit 1
  }
done
[ -f "$build/compile_commands.json" ] || {
  echo "check-windows: no $build/compile_commands.json; configure and build first" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mapfile -t sources < <(find "${roots[@]}" -name '*.cpp' ! -name '*_linux.cpp' \
  ! -name '*_linux_test.cpp' ! -path '*/linux/*' | sort)

# One response file per source: its target's -D, -I and -isystem, minus what is Linux's
# own (the system include folders, Qt's Linux mkspec).
python3 - "$build/compile_commands.json" "$work" "${sources[@]}" <<'EOF'
import json, os, shlex, sys

db_path, work, sources = sys.argv[1], sys.argv[2], sys.argv[3:]
flags_of = {}
for entry in json.load(open(db_path)):
    args = entry.get("arguments") or shlex.split(entry["command"])
    kept, i = [], 1
    while i < len(args):
        a = args[i]
        if a in ("-I", "-isystem", "-D") and i + 1 < len(args):
            a, i = a + args[i + 1], i + 1
        i += 1
        if a.startswith("-D"):
            kept.append(a)
        elif a.startswith(("-I", "-isystem")):
            path = a[2:] if a.startswith("-I") else a[len("-isystem"):]
            if path in ("/usr/include", "/usr/include/x86_64-linux-gnu") or "/mkspecs/" in path:
                continue
            kept += ["-isystem" if a.startswith("-isystem") else "-I", path]
    flags_of[os.path.realpath(os.path.join(entry["directory"], entry["file"]))] = kept

by_dir = {}
for path, flags in sorted(flags_of.items()):
    by_dir.setdefault(os.path.dirname(path), flags)

missing = []
for n, src in enumerate(sources):
    path = os.path.realpath(src)
    flags = flags_of.get(path) or by_dir.get(os.path.dirname(path))
    if flags is None:
        missing.append(src)
        continue
    with open(os.path.join(work, f"{n}.rsp"), "w") as f:
        f.write(" ".join(shlex.quote(a) for a in flags + [src]) + "\n")
if missing:
    sys.exit("check-windows: not in the build, nor anything beside them: " + " ".join(missing))
EOF

# QCustomPlot's header (and the tests' GoogleTest) without the rest of /usr/include, which
# is Linux's.
mkdir "$work/include"
ln -s /usr/include/qcustomplot.h "$work/include/"
if [ ${#roots[@]} -gt 1 ]; then
  ln -s /usr/include/gtest /usr/include/gmock "$work/include/"
fi
extra=(-isystem "$work/include")

start=$(date +%s)
# One compiler per source, $jobs at a time, each with its own log so the output stays whole.
ls "$work"/*.rsp | xargs -P "$jobs" -I{} sh -c '
  "$@" @"$0" >"${0%.rsp}.log" 2>&1 || echo "$0" >>"${0%/*}/failed"' {} \
  "$cxx" -fsyntax-only -std=c++20 -Wall -Wextra -Wpedantic -Werror \
  -DUNICODE -D_UNICODE -DWIN32 -DMINGW_HAS_SECURE_API=1 "${extra[@]}"
elapsed=$(($(date +%s) - start))

if [ -s "$work/failed" ]; then
  while read -r rsp; do
    echo "== $(awk '{print $NF}' "$rsp")" >&2
    cat "${rsp%.rsp}.log" >&2
  done <"$work/failed"
  echo "check-windows: $(wc -l <"$work/failed") of ${#sources[@]} sources do not compile for Windows" >&2
  exit 1
fi
echo "check-windows: ${#sources[@]} sources compile for Windows (${elapsed} s, $jobs jobs)"
