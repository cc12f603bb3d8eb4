#!/bin/bash
# systemd-udevd applies packaging/60-drevonix.rules: the controller's hidraw node and
# /dev/uinput carry the uaccess tag. udevd keeps running for the checks after this one.
. "$KERNEL_LIB/guest.sh"
guest_work_start
udevadm=$UDEVDIR/bin/udevadm
[ -x "$udevadm" ] || fail "no udevadm in $UDEVDIR"
mkdir -p /run/udev/rules.d /run/lane-bin
cp "$UDEVDIR"/lib/udev/rules.d/*.rules "$SRC/packaging/60-drevonix.rules" /run/udev/rules.d/
# udevadm is udevd when called by that name.
ln -sf "$udevadm" /run/lane-bin/systemd-udevd
/run/lane-bin/systemd-udevd --daemon || fail "systemd-udevd did not start"
wait_until 10 test -S /run/udev/control || fail "udevd made no control socket"
"$udevadm" trigger --action=add --subsystem-match=hidraw --subsystem-match=misc
"$udevadm" settle --timeout=20 || fail "udevadm settle timed out"
node=$(hidraw_node) || fail "no hidraw node for the controller"
for dev in "$node" /dev/uinput; do
    "$udevadm" info "$dev" >"$WORK/$(basename "$dev").info.log" 2>&1
    grep -Eq '^(G: uaccess|E: TAGS=.*:uaccess:)' "$WORK/$(basename "$dev").info.log" ||
        fail "$dev has no uaccess tag: $(tr '\n' ' ' <"$WORK/$(basename "$dev").info.log")"
    e2e_log "$dev: tagged uaccess"
done
e2e_log PASS
