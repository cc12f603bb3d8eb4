#!/usr/bin/env bash
# Builds drevonix_<version>_<arch>.deb into OUTDIR from a configuration of its own
# (build-package: prefix /usr, no tests, no benchmarks), checks its metainfo, and runs
# lintian on it: any error fails.
#
#   tools/package.sh OUTDIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: tools/package.sh OUTDIR" >&2; exit 2; }
mkdir -p "$1"
out=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."
tools/install-deps.sh package

build=build-package
# Debian's flags, hardening included; without -g, since the binaries are stripped, and
# without the build path in them, so that ccache serves any checkout.
flags() {
  DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=-fixfilepath,-fixdebugpath" \
    DEB_CXXFLAGS_MAINT_STRIP="-g" dpkg-buildflags --get "$1"
}
# Warnings do not fail it: tools/test.sh's own build does that, and a newer compiler's new
# warning should not stop someone packaging a release.
options=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DDREVONIX_PROGRAMS_ONLY=ON
         "-DCMAKE_CXX_FLAGS=$(flags CPPFLAGS) $(flags CXXFLAGS)" -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG
         "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)")
command -v ccache >/dev/null 2>&1 && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# --fresh: a new cache every time, so nothing a person set by hand gets into the package;
# the objects stay, and ccache answers for the rest.
cmake --fresh -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build"
appstreamcli validate --no-net packaging/*.metainfo.xml
rm -f "$out"/drevonix_*.deb
(cd "$build" && cpack -G DEB -B "$out/cpack" >/dev/null)
mv "$out"/cpack/drevonix_*.deb "$out"/
rm -rf "$out/cpack"
deb=$(ls "$out"/drevonix_*.deb)
# Errors fail; warnings are printed.
lintian --fail-on error "$deb"
echo "$deb"
