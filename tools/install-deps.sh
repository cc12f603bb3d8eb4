#!/usr/bin/env bash
# Installs the Debian 12 packages one job needs; only the missing ones, so a second run
# costs a second.
#
#   tools/install-deps.sh [SET...]
#
#   install   (the default) what building, installing and running the programs needs,
#             manual pages included
#   demo      what tools/demo.sh needs to build and run drevonix-demo, and no more
#   package   what tools/package.sh needs: the build, help2man, dpkg-dev, lintian, AppStream
#   test      everything tools/test.sh needs: all of the above, GoogleTest, Google Benchmark,
#             the private X desktop of the end-to-end tests and the X tools the tests drive
#             it with (setxkbmap, xmodmap), chattr, clang for the fuzz targets,
#             clang-format for the format check, mingw-w64 (and python3 to read the build's
#             compile commands) for the Windows compile check, qemu and busybox-static
#             for the kernel lane (tools/kernel-lane.sh; the kernel and udev it fetches
#             itself, into a cache, and never installs)
#
# Without root it asks sudo; without sudo it says what to run as root instead.
set -euo pipefail

# The lists the sets are made of; add a package to the list it belongs to.
core=(
  cmake g++ ninja-build pkg-config qt6-base-dev qt6-charts-dev libqt6charts6 libqt6opengl6-dev
  qt6-svg-dev libxkbcommon-dev libhidapi-dev libudev-dev libxtst-dev libx11-dev libevdev-dev
)
# At run time: the SVG icon plugin (blank icons without it) and the window's fonts.
run=(libqt6svg6 fonts-dejavu-core fonts-dejavu-extra)
man=(help2man)
package=(dpkg-dev file lintian appstream)
test=(
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool trayer openbox x11-utils
  x11-xserver-utils x11-xkb-utils imagemagick e2fsprogs clang libclang-rt-14-dev umockdev
  libumockdev-dev clang-format g++-mingw-w64-x86-64 python3 qemu-system-x86 busybox-static
)

lists_of() {
  case "$1" in
    install) echo core run man ;;
    demo) echo core run ;;
    package) echo core man package ;;
    test) echo core run man package test ;;
    *) return 1 ;;
  esac
}

wanted=()
for set in "${@:-install}"; do
  lists=$(lists_of "$set") || {
    echo "install-deps.sh: unknown set \"$set\" (install, demo, package, test)" >&2
    exit 2
  }
  for l in $lists; do
    declare -n list=$l
    wanted+=("${list[@]}")
    unset -n list
  done
done

missing=()
for p in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

install=(apt-get install -y --no-install-recommends "${missing[@]}")
if [ "$(id -u)" -eq 0 ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive "${install[@]}"
elif command -v sudo >/dev/null 2>&1; then
  sudo apt-get update
  sudo DEBIAN_FRONTEND=noninteractive "${install[@]}"
else
  echo "install-deps.sh: these packages are missing, and there is neither root nor sudo here." >&2
  echo "Run as root, then start this script again:" >&2
  echo "  apt-get update && ${install[*]}" >&2
  exit 1
fi
