#!/usr/bin/env bash
# Builds drevonix_<version>_<arch>.deb into OUTDIR from a configuration of its own
# (prefix /usr, Debian's flags), checks its metainfo, and runs lintian on it: any error
# fails.
#
#   tools/package.sh [--build DIR] [--with-tests] OUTDIR
#
# --build DIR    builds in DIR (default build-package)
# --with-tests   also builds the tests and benchmarks, with warnings as errors, so that
#                tools/test.sh tests the very binaries that go into the package
set -euo pipefail
build=
with_tests=
while [ $# -gt 1 ]; do
  case $1 in
    --build) build=$2 && shift 2 ;;
    --with-tests) with_tests=1 && shift ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] || { echo "usage: tools/package.sh [--build DIR] [--with-tests] OUTDIR" >&2; exit 2; }
mkdir -p "$1"
out=$(cd "$1" && pwd)
if [ -n "$build" ]; then mkdir -p "$build" && build=$(cd "$build" && pwd); fi
cd "$(dirname "$0")/.."
build=${build:-build-package}
tools/install-deps.sh package

# Debian's flags, hardening included; without -g, since the binaries are stripped, and
# without the build path in them, so that ccache serves any checkout.
flags() {
  DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=-fixfilepath,-fixdebugpath" \
    DEB_CXXFLAGS_MAINT_STRIP="-g" dpkg-buildflags --get "$1"
}
options=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
         "-DCMAKE_CXX_FLAGS=$(flags CPPFLAGS) $(flags CXXFLAGS)" -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG
         "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)")
# Without the tests, warnings do not fail it: tools/test.sh's build does that, and a newer
# compiler's new warning should not stop someone packaging a release.
if [ -n "$with_tests" ]; then
  options+=(-DDREVONIX_PROGRAMS_ONLY=OFF -DDREVONIX_WERROR=ON -DDREVONIX_MAN=ON)
else
  options+=(-DDREVONIX_PROGRAMS_ONLY=ON)
fi
command -v ccache >/dev/null 2>&1 && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# --fresh: a new cache every time, so nothing a person set by hand gets into the package;
# the objects stay, and ninja and ccache answer for the rest.
cmake --fresh -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build"
# AppStream 1.0 (Debian 13) wants a homepage; the project has no web site, and an invented
# address would be worse than none. Older validators do not know that check by name.
overrides=()
appstream=$(appstreamcli --version | sed -n 's/^AppStream version: \([0-9]*\).*/\1/p')
[ "${appstream:-0}" -ge 1 ] && overrides=(--override=url-homepage-missing=info)
appstreamcli validate --no-net "${overrides[@]}" packaging/*.metainfo.xml
rm -f "$out"/drevonix_*.deb
(cd "$build" && cpack -G DEB -B "$out/cpack" >/dev/null)
mv "$out"/cpack/drevonix_*.deb "$out"/
rm -rf "$out/cpack"
deb=$(ls "$out"/drevonix_*.deb)
# Errors fail; warnings are printed.
lintian --fail-on error "$deb"
echo "$deb"
