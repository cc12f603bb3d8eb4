#!/bin/bash
# drevonix in kiosk's X session: startx from tty1 (a tray host, openbox), drevonix started
# by the package's autostart entry. The controller's node refused at first, then allowed
# (verdict systemd_late_access_window); telemetry once a second and a press typed. It keeps
# running: the power-off after the checks must find its settings saved (poweroff-check.sh).
. "$KERNEL_LIB/guest.sh"
. "$KERNEL_LIB/systemd.sh"
guest_work_start
# Installed again by the purge check; not there when that check failed half-way.
[ -x /usr/bin/drevonix ] || (cd /root && apt-get install -y ./drevonix_*.deb >"$WORK/apt.log" 2>&1)
controller_start
node=$(hidraw_node) || fail "no hidraw node for the controller"
setfacl -x u:kiosk "$node" || fail "cannot take kiosk's ACL entry from $node"
xlog=/run/lane-x/x.log
timeout 20 sh -c 'echo start >/run/lane-startx' || fail "kiosk's login shell does not wait to start X"
pid_of_drevonix() { pgrep -u kiosk -x drevonix; }
wait_until 300 pid_of_drevonix || fail "no drevonix after startx: $(tail -n 20 "$xlog" 2>&1 | tr '\n' '|'); kiosk runs: $(ps -u kiosk -o args= | tr '\n' '|')"
pid=$(pid_of_drevonix)
e2e_log "drevonix $pid: $(tr '\0' ' ' <"/proc/$pid/cmdline"), parent $(ps -o args= -p "$(ps -o ppid= -p "$pid")")"
late_access() {
    wait_for "its word that the node is refused" 60 grep -qF "drevonix: found the controller at $node but may not open it" "$xlog"
    watches_a_node "$pid" || fail "nothing watches the refused node"
    [ "$(outs 3)" = 0 ] || fail "telemetry reached the controller through a refused node"
    udevadm trigger --action=change "$node"
    wait_for "a telemetry request once the node is allowed" 30 eval '[ "$(outs 3)" -ge 1 ]'
    watches_a_node "$pid" && fail "the node is still watched once open"
    return 0
}
if (late_access) >"$WORK/late.log" 2>&1; then
    verdict systemd_late_access_window pass
else
    verdict systemd_late_access_window "fail: $(sed -n 's/.*FAIL: //p' "$WORK/late.log" | tail -n1)"
fi
cat "$WORK/late.log"
wait_for "telemetry" 30 eval '[ "$(outs 3)" -ge 1 ]'

# Once a second: 5 or 6 requests in 5.5 s.
t=$(clog_now)
sleep 5.5
n=$(awk -v from="$t" '$2 == "out" && $4 == "03" && $1 >= from && $1 < from + 5500 { n++ } END { print n + 0 }' "$CLOG")
[ "$n" -ge 5 ] && [ "$n" -le 6 ] || fail "$n telemetry requests in 5.5 s"
uinput_press || fail "$(cat "$WORK/keys.why")"
kill -0 "$pid" || fail "drevonix ended"
e2e_log "$(cat "$xlog")"
e2e_log PASS
