#!/usr/bin/env bash
# Installs the Debian packages one job needs (Debian 12 or 13); only the missing ones, so a
# second run costs a second.
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
#             itself, into a cache, and never installs), acl, xinit and python3-xdg for
#             its systemd boot (getfacl, startx, openbox's autostart), debootstrap for
#             the Debian 13 lane, and the windows set
#   debian13  what the Debian 13 lane (tools/test-debian13.sh) installs into its own root:
#             the build, the package tools and the unit, widget and end-to-end tests
#   windows   the Windows build (tools/windows-deps.sh, tools/package-windows.sh): mingw-w64,
#             wine, ccache, the icon tools, and a deb-src entry for the archive already in
#             use, so that apt-get source fetches Qt, QCustomPlot, hidapi and GoogleTest
#
# Without root it asks sudo; without sudo it says what to run as root instead.
set -euo pipefail

# The lists the sets are made of; add a package to the list it belongs to.
core=(
  cmake g++ ninja-build pkg-config qt6-base-dev libqcustomplot-dev qt6-svg-dev libxkbcommon-dev
  libhidapi-dev libudev-dev libxtst-dev libx11-dev libevdev-dev
  qt6-tools-dev qt6-l10n-tools
)
# At run time: the SVG icon plugin (blank icons without it: Debian 13 moved it out of
# libqt6svg6 into qt6-svg-plugins) and the window's fonts.
run=("qt6-svg-plugins|libqt6svg6" fonts-dejavu-core fonts-dejavu-extra)
man=(help2man)
package=(dpkg-dev file lintian appstream)
# What building and running the unit, widget and end-to-end tests needs.
check=(
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool trayer openbox x11-utils
  x11-xserver-utils x11-xkb-utils imagemagick e2fsprogs umockdev libumockdev-dev acl ccache
  python3
)
# The lanes of tools/test.sh beside those: the format check, the fuzz targets, the Windows
# compile check, the kernel lane and its systemd boot, the Debian 13 lane's root.
lanes=(
  clang-format clang libclang-rt-dev g++-mingw-w64-x86-64 qemu-system-x86
  busybox-static xinit python3-xdg debootstrap
  # The systemd boot starts this machine's own root with systemd as PID 1, logind and a
  # user manager: most machines have them, a container's root has none.
  systemd systemd-sysv dbus dbus-user-session libpam-systemd
)
windows=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 ccache librsvg2-bin icoutils zip xvfb
  dpkg-dev nsis
)

lists_of() {
  case "$1" in
    install) echo core run man ;;
    demo) echo core run ;;
    package) echo core man package ;;
    test) echo core run man package check lanes windows ;;
    debian13) echo core run man package check ;;
    windows) echo core windows ;;
    *) return 1 ;;
  esac
}

wanted=()
for set in "${@:-install}"; do
  lists=$(lists_of "$set") || {
    echo "install-deps.sh: unknown set \"$set\" (install, demo, package, test, debian13, windows)" >&2
    exit 2
  }
  for l in $lists; do
    # A list that is named but never defined would expand to nothing, silently.
    declare -p "$l" >/dev/null 2>&1 || {
      echo "install-deps.sh: the set \"$set\" names the list \"$l\", which is not defined" >&2
      exit 2
    }
    declare -n list=$l
    wanted+=("${list[@]}")
    unset -n list
  done
done

# The source packages the Windows build takes its libraries from: the same archive as the
# binary packages, as a deb-src entry of its own.
deb_src=/etc/apt/sources.list.d/drevonix-deb-src.sources
need_src=
case " $* " in *" test "* | *" windows "*) [ -e "$deb_src" ] || need_src=1 ;; esac

# "a|b": the first of those names that the release's archive has (or has installed).
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
find_missing() {
  local p choice name names
  missing=()
  for p in "${wanted[@]}"; do
    choice=${p%%|*}
    if [ "$choice" != "$p" ]; then
      IFS='|' read -ra names <<<"$p"
      for name in "${names[@]}"; do
        if installed "$name" || apt-cache show "$name" >/dev/null 2>&1; then
          choice=$name
          break
        fi
      done
    fi
    installed "$choice" || missing+=("$choice")
  done
  mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u | sed '/^$/d')
}
find_missing
[ ${#missing[@]} -eq 0 ] && [ -z "$need_src" ] && exit 0

add_deb_src() {
  local from=/etc/apt/sources.list.d/debian.sources
  if [ -e "$from" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$from"
  else
    grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' |
      awk '{ print "Types: deb-src\nURIs: " $2 "\nSuites: " $3 "\nComponents: main\n" }'
  fi
}

if [ "$(id -u)" -eq 0 ]; then
  as_root=(env)
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps.sh: these packages are missing, and there is neither root nor sudo here." >&2
  echo "Run as root, then start this script again:" >&2
  echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
if [ -n "$need_src" ]; then add_deb_src | "${as_root[@]}" tee "$deb_src" >/dev/null; fi
"${as_root[@]}" apt-get update
# Chosen again with fresh package lists: a new machine may have had none.
find_missing
[ ${#missing[@]} -eq 0 ] ||
  "${as_root[@]}" DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
