#!/bin/bash
# The systemd boot's checks (tests/kernel/systemd/), run by drevonix-lane.service once the
# system is up; then the power-off, whose end poweroff-check.sh sees.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
export LANE=/run/lane KERNEL_LIB=$SRC/tests/kernel/guest MODDIR=$KDIR/lib/modules/$KVER
. "$KERNEL_LIB/gadget.sh"
echo "kernel-lane: systemd up after $(cut -d' ' -f1 /proc/uptime) s"
if gadget_create; then
    echo "kernel-lane: the gadget is $(hidraw_node) after $(cut -d' ' -f1 /proc/uptime) s"
    LANE_CHECK_DIR=$SRC/tests/kernel/systemd CHECK_TIMEOUT=${CHECK_TIMEOUT:-600} bash "$KERNEL_LIB/run-checks.sh"
else
    echo "kernel-lane: FAIL: no gadget (UDC \"$(cat "$GADGET/UDC" 2>&1)\", udc $(ls /sys/class/udc 2>&1)," \
        "hidraw $(ls /sys/class/hidraw 2>&1), modules $(ls /sys/module | grep -E 'hcd|hid|composite|configfs' | tr '\n' ' '))"
fi
echo "kernel-lane: powering off after $(cut -d' ' -f1 /proc/uptime) s"
systemctl poweroff --no-block
