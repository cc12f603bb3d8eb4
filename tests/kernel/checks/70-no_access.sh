#!/bin/bash
# A node the user may not open (mode 0600, root's), drevonix-cli run as another user: it
# says where the controller is and why it may not be opened, sends nothing, exits 1.
. "$KERNEL_LIB/guest.sh"
guest_work_start
controller_start
node=$(hidraw_node) || fail "no hidraw node for the controller"
chown root:root "$node"
chmod 0600 "$node"
chmod 755 "$WORK"
WHY="found the controller at $node but may not open it: Permission denied; see \"Permissions\" in the README (the udev rule 60-drevonix.rules, then plug the controller in again)"
for command in status watch; do
    out=$(timeout 20 setpriv --reuid=65534 --regid=65534 --clear-groups \
        env HOME="$WORK" XDG_RUNTIME_DIR="$WORK" "$CLI" $command 2>"$WORK/$command.err")
    rc=$?
    [ "$rc" = 1 ] && [ -z "$out" ] && [ "$(cat "$WORK/$command.err")" = "drevonix-cli: $WHY" ] ||
        fail "$command: status $rc, printed \"$out\", said \"$(cat "$WORK/$command.err")\""
    e2e_log "$command: ok"
done
grep -q ' out ' "$CLOG" && fail "a report reached the controller from a node the user may not open"
e2e_log PASS
