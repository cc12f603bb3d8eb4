# What the systemd boot's checks share, sourced after guest.sh: the user kiosk, its user
# manager and journal, and the access logind gives it.
KIOSK_UID=$(id -u kiosk)
as_kiosk() {
    runuser -u kiosk -- env XDG_RUNTIME_DIR="/run/user/$KIOSK_UID" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=/run/user/$KIOSK_UID/bus" "$@"
}
kctl() { as_kiosk systemctl --user "$@"; }
# The keys service's own lines and its manager's lines about it, since the mark (a journal
# cursor from journal_mark; the whole boot without one).
journal_mark() { journalctl -n1 --show-cursor -q | sed -n 's/^-- cursor: //p'; }
keys_journal() {
    journalctl -b --no-pager -o cat ${1:+--after-cursor="$1"} \
        _SYSTEMD_USER_UNIT=drevonix-keys.service + USER_UNIT=drevonix-keys.service
}
keys_said() { keys_journal "${2:-}" | grep -qF -- "$1"; }
# kiosk may read and write NODE through an ACL entry, which only logind gives; the mode
# itself lets nobody but root in.
kiosk_acl() { getfacl -p "$1" 2>/dev/null | grep -qx 'user:kiosk:rw-'; }
root_only_mode() { [ "$(stat -c '%U %a' "$1")" = "root 600" ] || [ "$(stat -c '%U %G %a' "$1")" = "root root 660" ]; }
# An inotify descriptor held by PID: a refused node is watched.
watches_a_node() { ls -l "/proc/$1/fd" 2>/dev/null | grep -q 'anon_inode:inotify'; }
# kiosk's single-instance lock: in its home, named after its uid and the machine.
kiosk_lock() {
    printf '/home/kiosk/.cache/drevonix-%s/drevonix-%s-%s.lock' "$KIOSK_UID" "$KIOSK_UID" \
        "$(head -c32 /etc/machine-id | sha256sum | cut -c1-8)"
}
# A failed check shows how the service ended and what holds kiosk's single-instance lock.
on_failure() {
    e2e_log "the keys service's last journal lines:"$'\n'"$(keys_journal | tail -n 8)"
    e2e_log "kiosk's lock folder:"$'\n'"$(ls -la --time-style=+%T "$(dirname "$(kiosk_lock)")" 2>&1)"
}
