#!/bin/bash
# The keys service as kiosk: lingering starts it before the login, when it may not type
# yet; the automatic login on tty1 (verdict systemd_autologin) brings logind's ACLs on the
# controller and /dev/uinput (verdict systemd_access); then it types a press, keeps
# running through a reload right after its start, and stops with status 0.
. "$KERNEL_LIB/guest.sh"
. "$KERNEL_LIB/systemd.sh"
guest_work_start
controller_start
node=$(hidraw_node) || fail "no hidraw node for the controller"

manager() { systemctl is-active --quiet "user@$KIOSK_UID.service"; }
loginctl enable-linger kiosk
wait_for "kiosk's user manager" 60 manager
[ -z "$(loginctl list-sessions --no-legend)" ] || fail "someone is logged in already"
kctl enable --now drevonix-keys.service >"$WORK/enable.log" 2>&1 || fail "enable --now: $(cat "$WORK/enable.log")"
# Lingering alone starts it, as at boot: the manager ended and started again, no login.
loginctl disable-linger kiosk
wait_for "the manager's end" 60 eval '! manager'
# What a start stopped between making its lock file and writing it leaves (CI saw it): an
# empty lock file, which the next start must take over.
lock=$(kiosk_lock)
as_kiosk sh -c 'mkdir -p -m 0700 "${1%/*}" && : >"$1" && touch -d "-1 min" "$1"' plant "$lock"
mark=$(journal_mark)
loginctl enable-linger kiosk
wait_for "its word, started by lingering, that it cannot type yet" 60 \
    keys_said "keystrokes cannot be delivered" "$mark"
[ -s "$lock" ] || [ ! -e "$lock" ] || fail "the empty lock file $lock is still there"
kiosk_acl /dev/uinput && fail "kiosk has /dev/uinput before its login"

# The car computer's login: getty on tty1 logs kiosk in.
systemctl start getty@tty1.service
session_of_kiosk() { loginctl list-sessions --no-legend | awk '$3 == "kiosk" { print $1 }'; }
active_on_tty1() {
    local s p want
    s=$(session_of_kiosk) && [ -n "$s" ] || return 1
    for want in Active=yes Seat=seat0 TTY=tty1 Type=tty; do
        p=${want%%=*}
        [ "$(loginctl show-session "$s" -p "$p" --value)" = "${want#*=}" ] || return 1
    done
}
( wait_for "kiosk's active session on seat0's tty1" 90 active_on_tty1 &&
    loginctl show-session "$(session_of_kiosk)" >"$WORK/session.log" && verdict systemd_autologin pass ) ||
    verdict systemd_autologin "fail: no active session of kiosk on tty1: $(loginctl list-sessions --no-legend | tr '\n' ' ')"

# The rule's uaccess met logind: kiosk's ACL entry, and a mode that lets nobody else in.
why=
for dev in "$node" /dev/uinput; do
    wait_until 30 kiosk_acl "$dev" || why+="no ACL entry for kiosk on $dev; "
    root_only_mode "$dev" || why+="$dev has mode $(stat -c '%U:%G %a' "$dev"); "
    getfacl -p "$dev" >>"$WORK/getfacl.log" 2>&1
done
e2e_log "$(cat "$WORK/getfacl.log")"
if [ -z "$why" ]; then verdict systemd_access pass; else verdict systemd_access "fail: $why"; fi

# systemd starts it again once the login has given it the nodes.
wait_for "the service typing" 60 keys_said "typing the wheel buttons of Drevonix USB Power Controller"
uinput_press || fail "$(cat "$WORK/keys.why")"

# A reload right after the start: the table read again, the same process running.
mark=$(journal_mark)
kctl restart drevonix-keys.service && kctl reload drevonix-keys.service || fail "restart and reload failed"
pid=$(kctl show -p MainPID --value drevonix-keys.service)
sleep 2
[ "$(kctl show -p MainPID --value drevonix-keys.service)" = "$pid" ] && kctl is-active --quiet drevonix-keys.service ||
    fail "a reload right after the start ended it: $(keys_journal "$mark" | tail -n5 | tr '\n' ' ')"
wait_for "the table read again" 30 keys_said "key table read again from" "$mark"
wait_for "the service typing again" 30 keys_said "typing the wheel buttons of" "$mark"
sleep 1.6
uinput_press || fail "after the reload: $(cat "$WORK/keys.why")"

kctl stop drevonix-keys.service
status=$(kctl show -p ExecMainStatus --value drevonix-keys.service)/$(kctl show -p Result --value drevonix-keys.service)
[ "$status" = 0/success ] || fail "stopped with status/result $status"
keys_journal >"$WORK/journal.log"
e2e_log "the service's journal:"
e2e_log "$(cat "$WORK/journal.log")"
# Every line of the program's own says who speaks and says it once.
keys_journal | grep -v -e '^drevonix-cli: ' -e 'drevonix-keys.service' -e '^Started ' -e '^Stopp' -e '^Reload' >"$WORK/odd.log"
[ -s "$WORK/odd.log" ] && fail "journal lines that do not read well: $(tr '\n' '|' <"$WORK/odd.log")"
e2e_log PASS
