#!/bin/bash
# apt-get purge takes the rule out of udev: a re-trigger leaves kiosk without the ACL on
# the controller's node and /dev/uinput, and nothing of ours runs. Then the package is
# installed again for the window's checks.
. "$KERNEL_LIB/guest.sh"
. "$KERNEL_LIB/systemd.sh"
guest_work_start
node=$(hidraw_node) || fail "no hidraw node for the controller"
kctl disable --now drevonix-keys.service >"$WORK/disable.log" 2>&1 || fail "disable --now: $(cat "$WORK/disable.log")"
apt-get purge -y drevonix >"$WORK/purge.log" 2>&1 || fail "apt-get purge: $(tail -n3 "$WORK/purge.log")"
e2e_log "right after the purge: $(getfacl -cp "$node" | tr '\n' ' '); $(udevadm info -q property "$node" | grep TAGS | tr '\n' ' ')"
udevadm trigger --action=change "$node" /dev/uinput
udevadm settle --timeout=30
for dev in "$node" /dev/uinput; do
    getfacl -p "$dev" >>"$WORK/getfacl.log" 2>&1
    kiosk_acl "$dev" && fail "kiosk keeps its ACL on $dev after the purge: $(tr '\n' ' ' <"$WORK/getfacl.log"); $(udevadm info -q property "$dev" | grep TAGS | tr '\n' ' '); $(grep -i -A3 'removing\|purging' "$WORK/purge.log" | tr '\n' ' ')"
done
e2e_log "$(cat "$WORK/getfacl.log")"
ours=$(pgrep -a -x 'drevonix(-cli)?')
[ -z "$ours" ] || fail "still running after the purge: $ours"
for f in /usr/lib/udev/rules.d/60-drevonix.rules /etc/xdg/autostart/drevonix.desktop /usr/bin/drevonix; do
    [ -e "$f" ] && fail "$f is still there after the purge"
done

cd /root && apt-get install -y ./drevonix_*.deb >"$WORK/apt.log" 2>&1 ||
    fail "installing again: $(tail -n3 "$WORK/apt.log")"
wait_until 30 kiosk_acl "$node" || fail "installed again, kiosk has no ACL on $node"
e2e_log PASS
