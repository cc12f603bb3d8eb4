#!/bin/bash
# The keys service started while kiosk may not open the controller (its ACL entry taken
# away, as before the rule applies): it says so and watches the node; udev applying the
# rule again is enough for it to open the node and type, with no re-plug, and the watch ends.
. "$KERNEL_LIB/guest.sh"
. "$KERNEL_LIB/systemd.sh"
guest_work_start
controller_start
node=$(hidraw_node) || fail "no hidraw node for the controller"
setfacl -x u:kiosk "$node" || fail "cannot take kiosk's ACL entry from $node"
mark=$(journal_mark)
kctl start drevonix-keys.service || fail "the service did not start"
wait_for "its word that the node is refused" 60 keys_said "found the controller at $node but may not open it" "$mark"
keys_said "no controller attached" "$mark" && fail "it says no controller is attached while it is refused"
pid=$(kctl show -p MainPID --value drevonix-keys.service)
watches_a_node "$pid" || fail "nothing watches the refused node: $(ls -l /proc/$pid/fd | tail -n +2 | awk '{ print $NF }' | tr '\n' ' '); $(getfacl -cp "$node" | tr '\n' ' '); $(keys_journal "$mark" | tr '\n' '|')"

udevadm trigger --action=change "$node"
wait_for "the service typing" 30 keys_said "typing the wheel buttons of" "$mark"
watches_a_node "$pid" && fail "the node is still watched once open"
[ "$(kctl show -p MainPID --value drevonix-keys.service)" = "$pid" ] || fail "the service was started again"
uinput_press || fail "$(cat "$WORK/keys.why")"
kctl stop drevonix-keys.service
e2e_log "$(keys_journal "$mark")"
e2e_log PASS
