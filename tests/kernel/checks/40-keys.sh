#!/bin/bash
# drevonix-cli keys with no X and no udev daemon: a wheel press typed through uinput and
# read back from its virtual keyboard's event node; the controller unplugged and plugged
# in again, and a press still arrives; SIGTERM ends it with 0.
. "$KERNEL_LIB/guest.sh"
[ -e /run/udev/control ] && fail "udevd runs already: this check must come before 50-udev_rules"
guest_work_start
unset DISPLAY
cli=$(private_copy "$CLI")
printf '[Key 01]\r\nJ.Code=700\r\nValue=88\r\n' >"$(dirname "$cli")/Control.ini"
controller_start
spawn keys "$cli" keys --verbose
KEYS=$SPAWNED
out=$WORK/keys.log
attached() { [ "$(grep -c 'typing the wheel buttons of' "$out")" -ge "$1" ]; }
wait_for "keys on the controller" 30 attached 1
grep -q '^drevonix-cli: keystrokes through uinput' "$out" || fail "not through uinput: $(cat "$out")"
uinput_press || fail "$(cat "$WORK/keys.why")"

unplug || fail "the node stayed after the unplug"
wait_for "the unplug seen" 10 grep -q 'the controller is gone; waiting for it' "$out"
plug || fail "no node after the plug"
wait_for "the controller seen again" 15 attached 2
# More than a second after the last press: the next one types at once.
sleep 1.6
uinput_press || fail "after the re-plug: $(cat "$WORK/keys.why")"
[ "$(grep -c '^code=700 entry=01 key=88 modifiers=none$' "$out")" = 2 ] || fail "--verbose: $(cat "$out")"

kill -TERM "$KEYS"
for ((n = 0; n < 50; n++)); do kill -0 "$KEYS" 2>/dev/null || break; sleep 0.1; done
wait "$KEYS"
rc=$?
[ "$rc" = 0 ] || fail "keys ended with status $rc after SIGTERM"
e2e_log PASS
