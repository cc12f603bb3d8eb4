#!/bin/bash
# drevonix with systemd-udevd running (started by 50-udev_rules): plug and unplug as udev
# announces them.
. "$KERNEL_LIB/guest.sh"
[ -S /run/udev/control ] || fail "udevd is not running (50-udev_rules starts it)"
drevonix_replug
