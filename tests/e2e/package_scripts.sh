#!/usr/bin/env bash
# The .deb's maintainer scripts load uinput and re-trigger udev only where udev runs:
# never in a chroot or a container, whose kernel is the host's. Each case runs a script
# in a mount namespace of its own, with a fresh /run (udev's control socket there or not)
# and modprobe, udevadm, setfacl and ischroot that only write down how they were called.
set -u
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root for a mount namespace"; exit 77; }
for tool in unshare python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
deb=$(cd "$(dirname "$0")/../../packaging/deb" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
for tool in modprobe udevadm setfacl; do
    printf '#!/bin/sh\necho "%s $*" >> "%s/calls"\n' "$tool" "$work" > "$work/bin/$tool"
done
# shellcheck disable=SC2016 # expanded by the fake, when called
printf '#!/bin/sh\nexit $(cat "%s/ischroot")\n' "$work" > "$work/bin/ischroot"
chmod +x "$work/bin/"*

reload="udevadm control --reload-rules
udevadm trigger --action=change --subsystem-match=hidraw --subsystem-match=misc"
# The removal takes the rule's ACLs back from the nodes there are (no controller here).
removed="udevadm control --reload-rules
udevadm settle --timeout=30"
if [ -c /dev/uinput ]; then
    removed="$removed
setfacl -b /dev/uinput
udevadm trigger --action=remove /dev/uinput
udevadm trigger --action=add /dev/uinput"
fi
failures=0
# run SCRIPT ARG UDEV(yes/no) ISCHROOT-STATUS EXPECTED-CALLS
run() {
    echo "$4" > "$work/ischroot"
    : > "$work/calls"
    # shellcheck disable=SC2016 # the inner shell's arguments
    unshare --mount sh -c '
        mount -t tmpfs none /run && mkdir /run/udev || exit 99
        if [ "$1" = yes ]; then
            python3 -c "import socket; socket.socket(socket.AF_UNIX).bind(\"/run/udev/control\")"
        fi
        PATH="$2:$PATH" sh "$3" "$4"' sh "$3" "$work/bin" "$deb/$1" "$2"
    local rc=$?
    if [ "$rc" -ne 0 ] || [ "$(cat "$work/calls")" != "$5" ]; then
        echo "FAIL: $1 $2, udev $3, ischroot $4: status $rc, called:"
        cat "$work/calls"
        failures=$((failures + 1))
    fi
}
run postinst configure yes 1 "modprobe uinput
$reload"
run postinst configure no 1 ""
run postinst configure yes 0 ""  # a chroot
run postinst configure yes 2 ""  # cannot tell
run postinst abort-upgrade yes 1 ""
run postrm remove yes 1 "$removed"
run postrm purge no 1 ""
run postrm remove yes 0 ""
[ "$failures" -eq 0 ] && echo PASS
