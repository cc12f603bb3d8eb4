#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test.
# Each phase prints its wall and CPU time, and the run ends with a table of them: CI's time
# is bounded, and this is where it goes.
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache serves a checkout at any path (each clean clone may land somewhere new): paths under
# the checkout reach the compiler relative to the build folder, and hash the same.
export CCACHE_BASEDIR=$PWD
phases=$(mktemp)
package_out=$(mktemp -d)
# phase NAME COMMAND...: runs COMMAND, and notes its time (children's CPU included).
phase() {
  local name=$1 start before status=0
  shift
  start=$SECONDS
  cpu_seconds
  before=$cpu
  "$@" || status=$?
  cpu_seconds
  printf '%-12s %5d s wall %6d s CPU%s\n' "$name" $((SECONDS - start)) $((cpu - before)) \
    "$([ "$status" -eq 0 ] || echo ' FAILED')" | tee -a "$phases" >&2
  return "$status"
}
# cpu: user and system time of this shell's finished children, in whole seconds (times runs
# in this shell: in a subshell it would count that subshell's children only).
cpu_seconds() {
  times >"$phases.times"
  cpu=$(awk 'NR == 2 { gsub(/[ms]/, " "); print int($1 * 60 + $2 + $3 * 60 + $4) }' "$phases.times")
}
summary() {
  # A run that stops early stops the preparation too (its own process group).
  [ -z "${prepare:-}" ] || kill -- -"$prepare" 2>/dev/null || true
  [ -z "${qt_windows:-}" ] || kill -- -"$qt_windows" 2>/dev/null || true
  echo "tools/test.sh, phase by phase:" >&2
  cat "$phases" >&2
  rm -rf "$package_out" "$phases" "$phases.times"
}
trap summary EXIT

phase packages tools/install-deps.sh test
# The house format holds everywhere, before anything is built.
format() {
  find src tests bench \( -name '*.cpp' -o -name '*.hpp' \) -print0 |
    xargs -0 clang-format --dry-run -Werror
}
phase format format
# What mostly downloads and unpacks (the lanes' kernel, the Debian 13 root and its packages:
# some eight minutes on a new machine) goes on beside the build, which wants the processors.
# The lanes do it again themselves if it failed here.
prepare_log=$(mktemp)
setsid bash -c 'tools/kernel-lane.sh fetch && tools/test-debian13.sh --prepare' \
  >"$prepare_log" 2>&1 </dev/null &
prepare=$!
# A machine without Qt for Windows builds it from here on, in what the phases below leave
# idle: the unit tests and the Debian 13 lane leave much of the second processor free (the
# kernel lane's guests take both, so it gets little then). It gets its own session, and
# that session's scheduling group (autogroup) nice 19: the kernel shares the processors
# between groups equally, whatever a process's own nice, and at an equal share the kernel
# lane's guest ran past its time bound. The windows phase waits for what is left.
qt_windows=
if ! tools/windows-deps.sh --prefix >/dev/null 2>&1; then
  qt_windows_log=$(mktemp)
  qt_windows_start=$SECONDS
  setsid bash -c 'echo 19 >/proc/self/autogroup 2>/dev/null; exec nice -n 19 tools/windows-deps.sh' \
    >"$qt_windows_log" 2>&1 </dev/null &
  qt_windows=$!
fi
qt_windows_built() {
  [ -n "$qt_windows" ] || return 0
  # Its progress so far, and on until it ends. A failure shows again when the windows
  # phase's own call tries once more, in the foreground.
  tail -n +1 -f --pid="$qt_windows" "$qt_windows_log" >&2
  wait "$qt_windows" || true
  printf '%-12s %5d s wall, beside the phases since build\n' qt-windows \
    $((SECONDS - qt_windows_start)) >>"$phases"
  qt_windows=
  rm -f "$qt_windows_log"
}
prepared() {
  wait "$prepare" || { echo "test.sh: preparing the lanes failed:" >&2; cat "$prepare_log" >&2; }
  prepare=
  rm -f "$prepare_log"
}
# One build for the tests and the .deb (Debian's flags, warnings as errors): the tests run
# the very binaries the package holds, and lintian checks it. The kernel lane's systemd
# boot installs this very file.
phase build tools/package.sh --build build --with-tests "$package_out"
DREVONIX_DEB=$(ls "$package_out"/drevonix_*.deb)
export DREVONIX_DEB
phase prepared prepared
# Green only when every test ran: a skipped test fails the run, named.
# (The kernel lane's wine boot needs the Windows build: it runs after the windows phase.)
wine_lane='^kernel_(lane_)?wine'
phase tests tools/ctest-all-ran.sh --test-dir build --output-on-failure -j2 --timeout 300 -E "$wine_lane"
# Debian 13 in a root of its own: the build under AddressSanitizer and UBSan with its unit,
# widget and end-to-end tests, and the .deb built, installed and looked at there.
phase debian13 tools/test-debian13.sh
# The fuzz targets, 30 s each, in their own clang configuration (build-fuzz).
phase fuzz tools/test-fuzz.sh
# The Windows build (Qt for Windows from the cache, or as built beside the phases
# above), and its tests under wine (label windows).
windows() {
  qt_windows_built
  tools/test-windows.sh build-windows
}
phase windows windows
# The Windows programs on the kernel lane's gadget, under wine (label kernel).
phase wine-lane env DREVONIX_WINDOWS_BUILD="$PWD/build-windows" \
  tools/ctest-all-ran.sh --test-dir build --output-on-failure -R "$wine_lane"
