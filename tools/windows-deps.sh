#!/usr/bin/env bash
# Builds what the Windows programs link, for x86_64-w64-mingw32, from Debian's own source
# packages: qtbase (Core, Gui, Widgets, Network, Test, PrintSupport and the windows
# platform plugin), QCustomPlot, hidapi (its Windows backend) and GoogleTest. Debian's host
# Qt gives the tools (QT_HOST_PATH=/usr).
#
#   tools/windows-deps.sh          builds once per machine, prints the prefix
#   tools/windows-deps.sh --prefix prints the prefix if it is complete, else fails
#
# Everything goes into $DREVONIX_WINDOWS_CACHE (default ~/.cache/drevonix-windows), in a
# folder named after the source versions and this recipe's revision, so that a new Debian
# upload or a changed flag builds afresh and an unchanged one costs nothing. The first
# build takes about 22 minutes on two quiet cores (qtbase is 1,084 objects); progress
# goes to stderr. The build folders are removed after their install.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
cache=${DREVONIX_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/drevonix-windows}
jobs=${DREVONIX_WINDOWS_JOBS:-$(nproc)}
revision=2 # raise when a flag below changes: the cache key includes it
packages=(qt6-base qcustomplot hidapi googletest)

say() { printf 'windows-deps: %s\n' "$*" >&2; }
die() {
    say "$*"
    exit 1
}

version_of() { apt-cache showsrc "$1" 2>/dev/null | awk '$1 == "Version:" { print $2; exit }'; }

key() {
    local parts=("r$revision" "$(x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null)") p v
    for p in "${packages[@]}"; do
        v=$(version_of "$p")
        [ -n "$v" ] || die "no source package $p: tools/install-deps.sh windows adds the deb-src entry"
        parts+=("$p=$v")
    done
    printf '%s\n' "${parts[@]}" | sha256sum | cut -c1-12
}

prefix=$cache/$(key)
# hidapi carries a patch of ours, and its own marker named after it: a changed patch
# rebuilds hidapi alone, in the same prefix, never Qt.
hidapi_patch=$src/tools/patches/hidapi-setupdi-fallback.patch
hidapi_done=hidapi-$(sha256sum "$hidapi_patch" | cut -c1-12)
complete() { [ -e "$prefix/.complete" ] && [ -e "$prefix/.done-$hidapi_done" ]; }
if [ "${1:-}" = --prefix ]; then
    complete || die "not built yet: run tools/windows-deps.sh"
    echo "$prefix"
    exit 0
fi
if complete; then
    echo "$prefix"
    exit 0
fi

for tool in x86_64-w64-mingw32-g++-posix cmake ninja dpkg-source apt-get patch; do
    command -v "$tool" >/dev/null || die "$tool is missing (tools/install-deps.sh windows installs it)"
done
[ -x /usr/lib/qt6/libexec/moc ] || die "Debian's host Qt tools are missing (qt6-base-dev-tools)"

mkdir -p "$prefix" "$cache/sources"
toolchain=$src/cmake/windows-toolchain.cmake
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export DREVONIX_WINDOWS_PREFIX=$prefix

# source PACKAGE: the unpacked source folder of PACKAGE's candidate version, fetched once.
source_of() {
    local package=$1 version dir
    version=$(version_of "$package")
    dir=$cache/sources/$package-$version
    if [ ! -e "$dir/.unpacked" ]; then
        say "fetching the source of $package $version"
        rm -rf "$dir" "$dir.tmp"
        mkdir -p "$dir.tmp"
        # apt's sandbox user cannot write into root's home; its warning about that is noise.
        # (grep finds nothing left when all went well: its status is not apt's.)
        (cd "$dir.tmp" && apt-get -qq source --download-only "$package=$version" 2>&1 |
            { grep -v -e 'unsandboxed' -e '^NOTICE' -e 'salsa.debian.org' -e '^Please use' -e '^$' >&2 || true; }) ||
            die "apt-get source $package failed"
        dpkg-source --no-check -x "$dir.tmp"/*.dsc "$dir.tmp/tree" >/dev/null
        mv "$dir.tmp/tree" "$dir"
        rm -rf "$dir.tmp"
        touch "$dir/.unpacked"
    fi
    echo "$dir"
}

# build NAME SOURCE_DIR CMAKE_ARGS...: configure, build with a progress line every tenth,
# install into the prefix, drop the build folder.
build() {
    local name=$1 dir=$2 work=$cache/build-$1
    shift 2
    [ -e "$prefix/.done-$name" ] && return 0
    say "configuring $name"
    # A build that stopped half-way (a session ended, a mended source) goes on from there.
    local started=$SECONDS
    cmake -S "$dir" -B "$work" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "${launcher[@]}" "$@" \
        >"$cache/$name-configure.log" 2>&1 || {
        tail -30 "$cache/$name-configure.log" >&2
        die "configuring $name failed (whole log: $cache/$name-configure.log)"
    }
    say "building $name"
    # Ninja's [n/N] lines, one in ten percent, so a long build shows it is alive.
    cmake --build "$work" -j "$jobs" 2>&1 | tee "$cache/$name-build.log" |
        awk -v name="$name" '/^\[[0-9]+\/[0-9]+\]/ {
            split(substr($0, 2, index($0, "]") - 2), n, "/"); p = int(100 * n[1] / n[2])
            if (p >= next_p) { printf "windows-deps: %s %d%% (%d/%d)\n", name, p, n[1], n[2] > "/dev/stderr"; next_p = p - p % 10 + 10 } }'
    [ "${PIPESTATUS[0]}" -eq 0 ] || {
        grep -B2 -A12 -m3 'error' "$cache/$name-build.log" >&2 || tail -30 "$cache/$name-build.log" >&2
        die "building $name failed (whole log: $cache/$name-build.log)"
    }
    cmake --install "$work" >"$cache/$name-install.log" 2>&1 || die "installing $name failed"
    rm -rf "$work"
    touch "$prefix/.done-$name"
    say "$name built in $((SECONDS - started)) s"
}

started=$SECONDS
qtbase=$(source_of qt6-base)
# Qt 6.4's print engine calls the DirectWrite font engine whenever DirectWrite is on, but
# Gui only builds that engine together with Direct2D, which we leave out: the print engine
# then fails to link. It takes the DirectWrite path only where Gui has it.
sed -i 's/^#if QT_CONFIG(directwrite)$/#if QT_CONFIG(directwrite) \&\& QT_CONFIG(direct2d)/' \
    "$qtbase/src/printsupport/platform/windows/qprintengine_win.cpp"
# The platform plugin, likewise, with the DirectWrite font database.
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
    "$qtbase/src/plugins/platforms/windows/qwindowsintegration.cpp"
# hidapi's Windows code lists devices only through cfgmgr32 calls that no wine Debian ships
# has working; the patch lists them through SetupDi where those fail (its head says more).
# Applied to a copy, so that the unpacked source stays as Debian has it.
hidapi=$cache/build-src-hidapi
if [ ! -e "$prefix/.done-$hidapi_done" ]; then
    rm -rf "$hidapi" "$prefix"/.done-hidapi*
    cp -a "$(source_of hidapi)" "$hidapi"
    patch -d "$hidapi" -p1 -s <"$hidapi_patch" || die "the hidapi patch does not apply"
fi
googletest=$(source_of googletest)
qcustomplot=$(source_of qcustomplot)

# Nothing here needs JPEG, GIF or TLS (and Schannel's plugin does not build without ssl,
# so it goes too). Without OpenGL the platform plugin still asks for dynamicgl unless that is off too, and
# the tablet plugin needs wintab.h, which neither the dfsg tarball nor mingw-w64 has.
# Of Network the programs use only local sockets, so HTTP and the rest go. -Os instead of
# the -O3 that Core and Gui get by default: this build is the long pole of a new machine's
# run, and the charts and tables ask little of the processor.
build qtbase "$qtbase" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DQT_BUILD_BENCHMARKS=OFF -DQT_BUILD_MANUAL_TESTS=OFF \
    -DFEATURE_pkg_config=OFF -DFEATURE_sql=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF \
    -DFEATURE_direct2d=OFF -DFEATURE_dbus=OFF -DFEATURE_vulkan=OFF -DFEATURE_concurrent=OFF \
    -DFEATURE_xml=OFF -DFEATURE_openssl=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF \
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ssl=OFF -DFEATURE_schannel=OFF \
    -DFEATURE_http=OFF -DFEATURE_networkdiskcache=OFF -DFEATURE_dnslookup=OFF \
    -DFEATURE_udpsocket=OFF -DFEATURE_topleveldomain=OFF -DFEATURE_socks5=OFF \
    -DFEATURE_optimize_size=ON
build "$hidapi_done" "$hidapi" -DBUILD_SHARED_LIBS=ON -DHIDAPI_BUILD_HIDTEST=OFF
rm -rf "$hidapi"
build googletest "$googletest" -DBUILD_SHARED_LIBS=OFF -Dgtest_force_shared_crt=ON
# Debian's build of QCustomPlot: the QCustomPlotQt6 package that Linux's -dev has too.
build qcustomplot "$qcustomplot" -DUSE_QT_VERSION=6

touch "$prefix/.complete"
say "done in $((SECONDS - started)) s: $prefix"
echo "$prefix"
