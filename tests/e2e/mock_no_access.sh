#!/usr/bin/env bash
# A controller that is attached but may not be opened (no udev rule: the node is closed
# to the user). drevonix-cli says so for every command, sends nothing and exits 1;
# drevonix says so once on stderr and once in a balloon of its tray icon.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"
. "$DREVONIX_E2E_LIB/mock.sh"

mock_need drevonix-cli drevonix
[ "$(id -u)" -eq 0 ] || skip "runs the programs as another user: needs root"
desktop_start
NOBODY=65534:65534
chmod 755 "$WORK"
MOCK_AS_NOBODY=(--mode 000 --user "$NOBODY")
WHY="found the controller at /dev/hidraw0 but may not open it: Permission denied; see \"Permissions\" in the README (the udev rule 60-drevonix.rules, then plug the controller in again)"

# A copy in the test's own folder: the build tree may lie under a home that nobody cannot
# enter.
cli=$(private_copy "$DREVONIX_CLI_EXE")
n=0
for command in status read "read --raw" watch buttons "write eN3=90"; do
    n=$((n + 1))
    # shellcheck disable=SC2086 # the command's words
    mock_run "cli$n" "${MOCK_AS_NOBODY[@]}" -- "$cli" $command
    [ "$RC" = 1 ] && [ -z "$OUT" ] && [ "$ERR" = "drevonix-cli: $WHY" ] ||
        fail "$command: status $RC, printed \"$OUT\", said \"$ERR\""
    grep -q ' out ' "$WORK/cli$n.log" && fail "$command: sent a report to a node it may not open"
    e2e_log "$command: ok"
done

# The program as that user: its own home, and its copy readable.
home=$WORK/nobody
mkdir -p "$home/.config" "$home/run"
chown -R "$NOBODY" "$home"
chmod 700 "$home/run"
exe=$(private_copy "$DREVONIX_EXE")
class=$(basename "$exe")
spawn drevonix env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run" \
    "$MOCK" --timeout 60 --log "$WORK/gui.log" "${MOCK_AS_NOBODY[@]}" -- "$exe"
said() { grep -c "^drevonix: $WHY\$" "$WORK/drevonix.log"; }
told() { [ "$(said)" -ge 1 ]; }
wait_for "the explanation on stderr" 20 told

# The balloon: a window of the program that the window manager leaves alone, larger
# than the icon.
balloon() {
    local w g
    for w in $(visible_windows "$class"); do
        g=($(window_geometry "$w")) || continue
        [ "${g[2]}" -gt 64 ] && override_redirect "$w" && return 0
    done
    return 1
}
wait_for "the tray icon's balloon" 10 balloon
shot balloon
# Requests go on once a second; the user is told once.
sleep 2.2
[ "$(said)" -eq 1 ] || fail "told $(said) times on stderr, expected once"
grep -q ' out ' "$WORK/gui.log" && fail "a report was sent to a node the program may not open"
e2e_log "PASS"
