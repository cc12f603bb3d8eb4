#!/bin/bash
# The package installed as a user installs it, from the file, its dependencies already
# there. Its postinst meets the running udevd: the rule is in force on both nodes at once.
. "$KERNEL_LIB/guest.sh"
guest_work_start
deb=$(ls "$LANE"/deb/drevonix_*.deb) || fail "no package in $LANE/deb"
cp "$deb" /root/
cd /root && apt-get install -y "./$(basename "$deb")" >"$WORK/apt.log" 2>&1 ||
    fail "apt-get install: $(tail -n3 "$WORK/apt.log")"
node=$(hidraw_node) || fail "no hidraw node for the controller"
for dev in "$node" /dev/uinput; do
    udevadm info "$dev" >"$WORK/$(basename "$dev").info.log" 2>&1
    grep -Eq '^(Q: uaccess|E: CURRENT_TAGS=.*:uaccess:)' "$WORK/$(basename "$dev").info.log" ||
        fail "$dev is not tagged uaccess after the install"
done
e2e_log PASS
