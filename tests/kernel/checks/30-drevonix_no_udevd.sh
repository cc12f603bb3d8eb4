#!/bin/bash
# drevonix with no udev daemon at all: it must see the controller come back from the
# kernel's own events. Also types a wheel press through uinput (verdict uinput_keys).
. "$KERNEL_LIB/guest.sh"
[ -e /run/udev/control ] && fail "udevd runs already: this check must come before 50-udev_rules"
drevonix_replug --keys
