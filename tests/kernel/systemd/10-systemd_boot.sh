#!/bin/bash
# systemd is PID 1 on the lane's kernel: booted to multi-user with no unit failed, the
# gadget's modules in, no network, and seat0 with its consoles for kiosk's login.
. "$KERNEL_LIB/guest.sh"
guest_work_start
[ "$(cat /proc/1/comm)" = systemd ] || fail "PID 1 is $(cat /proc/1/comm)"
wait_for "multi-user.target" 120 systemctl is-active --quiet multi-user.target
systemctl --failed --no-legend >"$WORK/failed.log"
[ -s "$WORK/failed.log" ] && fail "units failed: $(tr '\n' ' ' <"$WORK/failed.log")"
[ "$(ls /sys/class/net)" = lo ] || fail "network interfaces: $(ls /sys/class/net | tr '\n' ' ')"
for m in dummy_hcd usb_f_hid usbhid uinput; do [ -d "/sys/module/$m" ] || fail "module $m is not loaded"; done
[ "$(loginctl show-seat seat0 -p CanTTY --value)" = yes ] || fail "seat0 has no consoles"
[ -c /dev/tty1 ] || fail "no /dev/tty1"
e2e_log PASS
