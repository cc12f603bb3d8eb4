#!/bin/bash
# A node the user may not open (mode 0600, root's), the programs run as another user:
# drevonix-cli says where the controller is and why it may not be opened, sends nothing
# and exits 1; drevonix says so once on stderr and sends nothing.
. "$KERNEL_LIB/guest.sh"
guest_desktop_start
controller_start
node=$(hidraw_node) || fail "no hidraw node for the controller"
chown root:root "$node"
chmod 0600 "$node"
chmod 755 "$WORK"
# Copies that user can reach: the build tree may lie under a home it may not enter.
cli=$(private_copy "$CLI")
WHY="found the controller at $node but may not open it: Permission denied; see \"Permissions\" in the README (the udev rule 60-drevonix.rules, then plug the controller in again)"
for command in status watch; do
    out=$(timeout 20 setpriv --reuid=65534 --regid=65534 --clear-groups \
        env HOME="$WORK" XDG_RUNTIME_DIR="$WORK" "$cli" $command 2>"$WORK/$command.err")
    rc=$?
    [ "$rc" = 1 ] && [ -z "$out" ] && [ "$(cat "$WORK/$command.err")" = "drevonix-cli: $WHY" ] ||
        fail "$command: status $rc, printed \"$out\", said \"$(cat "$WORK/$command.err")\""
    e2e_log "$command: ok"
done

# drevonix as that user, with its own home.
home=$WORK/nobody
mkdir -p "$home/.config" "$home/run"
chown -R 65534:65534 "$home"
chmod 700 "$home/run"
exe=$(private_copy "$DREVONIX_EXE")
spawn drevonix setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$home" \
    XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run" "$exe"
said() { grep -cxF "drevonix: $WHY" "$WORK/drevonix.log"; }
told() { [ "$(said)" -ge 1 ]; }
wait_for "drevonix's explanation on stderr" 40 told
# Requests go on once a second; the user is told once.
sleep 2.2
[ "$(said)" -eq 1 ] || fail "drevonix told $(said) times on stderr, expected once"
e2e_log "drevonix: ok"
grep -q ' out ' "$CLOG" && fail "a report reached the controller from a node the user may not open"
e2e_log PASS
