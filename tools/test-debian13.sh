#!/usr/bin/env bash
# The project on Debian 13 (trixie), in a root of its own made with debootstrap from the
# archive this machine already uses: Qt 6.8, g++ 14, AppStream 1.0, a newer hidapi. In a
# chroot, with X servers of its own, as root:
#   1. the project is built with warnings as errors under AddressSanitizer and UBSan, and
#      its unit, widget and end-to-end tests run (labels unit, widget, e2e);
#   2. the .deb is built from its own configuration and checked (lintian, AppStream);
#   3. the SVG icon plugin is taken away, the .deb installed as a user installs it (apt
#      brings the plugin back through the package's Depends), and the installed drevonix
#      must dock a drawn icon in a tray.
#
#   tools/test-debian13.sh [CTEST_ARGUMENT...]
#   tools/test-debian13.sh --prepare     only makes the root and installs its packages
#
# With arguments (for instance -R e2e_tray), only those tests run, and the package steps
# are left out.
#
# The root lives in $DREVONIX_DEBIAN13_CACHE (default ~/.cache/drevonix-debian13), made
# once (about a minute, and six to install the packages), with its build folders and
# ccache, so that a second run only builds what changed. tools/install-deps.sh debian13
# runs in it every time: a package added to those lists is installed there too.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = --inside ]; then
  shift
  # In the chroot: the checkout is at /src, read-only; builds go to /var/lib/drevonix.
  cd /src
  export HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin CCACHE_DIR=/var/lib/drevonix/ccache
  export LANG=C.UTF-8
  work=/var/lib/drevonix
  mkdir -p "$work"
  step() { printf '\ntest-debian13: %s\n' "$*" >&2; }

  step "packages"
  tools/install-deps.sh debian13
  [ "${1:-}" != --prepare ] || exit 0

  step "the sanitizer build and the unit, widget and end-to-end tests"
  options=(-G Ninja -DDREVONIX_WERROR=ON -DDREVONIX_SANITIZE=ON -DDREVONIX_MAN=OFF
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$work/build-asan" "${options[@]}" >/dev/null
  cmake --build "$work/build-asan"
  # verify_asan_link_order=0: umockdev's wrapper preloads its library ahead of ASan's.
  export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:verify_asan_link_order=0
  export LSAN_OPTIONS=suppressions=/src/tools/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  tools/ctest-all-ran.sh --test-dir "$work/build-asan" --output-on-failure -j2 --timeout 600 \
    -L 'unit|widget|e2e' "$@"
  unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
  [ $# -eq 0 ] || exit 0

  step "the package"
  mkdir -p "$work/out"
  deb=$(tools/package.sh --build "$work/build-package" "$work/out" | tail -n1)

  step "installed as a user installs it, without the SVG plugin beforehand"
  dpkg --remove --force-depends qt6-svg-plugins >/dev/null 2>&1 || true
  apt-get purge -y drevonix >/dev/null 2>&1 || true
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" >/dev/null
  dpkg-query -W -f='${Status}\n' qt6-svg-plugins | grep -q 'install ok installed' ||
    { echo "test-debian13: installing the package did not bring Qt's SVG plugin" >&2; exit 1; }
  # The installed program, not a copy: its icon comes from the installed plugin path.
  (
    . tests/e2e/lib/desktop.sh
    desktop_start
    spawn drevonix /usr/bin/drevonix
    wait_for "the installed drevonix's tray icon" 30 icon_window drevonix
    icon=$(icon_window drevonix)
    colours=$(window_colours "$icon")
    shot installed-tray
    [ "${colours:-0}" -ge 3 ] || fail "the installed drevonix's tray icon is blank (${colours:-no} colours)"
    e2e_log "PASS: the installed drevonix docks an icon of $colours colours"
  )
  exit 0
fi

say() { printf 'test-debian13: %s\n' "$*" >&2; }
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { say "needs root (chroot, mounts): run it as root"; exit 1; }
  exec sudo --preserve-env=DREVONIX_DEBIAN13_CACHE,XDG_CACHE_HOME "$0" "$@"
fi
for tool in debootstrap unshare chroot; do
  command -v "$tool" >/dev/null || { say "$tool is missing (tools/install-deps.sh test)"; exit 1; }
done
cache=${DREVONIX_DEBIAN13_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/drevonix-debian13}
root=$cache/root

# The archive already in use: the first Debian URI of this machine's sources.
mirror=$(awk '$1 == "URIs:" && $2 ~ /debian\/?$/ { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $3 !~ /security/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null || true)
mirror=${mirror:-http://deb.debian.org/debian}

if [ ! -e "$root/.complete" ]; then
  say "making a Debian 13 root from $mirror in $root"
  rm -rf "$root" "$root.tmp"
  mkdir -p "$cache"
  debootstrap --variant=minbase trixie "$root.tmp" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
    { tail -20 "$cache/debootstrap.log" >&2; say "debootstrap failed (whole log: $cache/debootstrap.log)"; exit 1; }
  mv "$root.tmp" "$root"
  touch "$root/.complete"
fi

# A mount namespace of its own: every mount below goes away with the lane, whatever ends it.
mkdir -p "$root/src"
exec unshare --mount --propagation private bash -c '
  set -e
  root=$1 src=$2
  # The root a mount of its own, so that unshare and mount propagation work inside it too.
  mount --bind "$root" "$root"
  mount -t proc proc "$root/proc"
  mount --rbind /sys "$root/sys"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
  mount --bind "$src" "$root/src"
  mount -o remount,bind,ro "$root/src"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  shift 2
  exec chroot "$root" /usr/bin/env -i TERM=dumb /bin/bash /src/tools/test-debian13.sh --inside "$@"
' _ "$root" "$src" "$@"
