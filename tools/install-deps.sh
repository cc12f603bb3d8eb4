#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds, tests and runs with; only the
# missing ones, so a second run costs a second.
set -euo pipefail
packages=(
  cmake g++ ninja-build pkg-config qt6-base-dev qt6-charts-dev libqt6charts6 libqt6opengl6-dev
  qt6-svg-dev libqt6svg6 libxkbcommon-dev libhidapi-dev libudev-dev libxtst-dev libx11-dev
  libevdev-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool trayer openbox
  x11-utils x11-xserver-utils fonts-dejavu-core fonts-dejavu-extra imagemagick clang libclang-rt-14-dev
  umockdev libumockdev-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
