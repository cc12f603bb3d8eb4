#!/usr/bin/env bash
# A desktop without a notification area: the window is shown at start so that the program
# can be reached; when a tray host comes up later, the icon appears in it by itself.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"

[ -x "${DREVONIX_DEMO_EXE:-}" ] || skip "drevonix-demo is not built"
desktop_start --no-tray
exe=$(private_copy "$DREVONIX_DEMO_EXE")
class=$(basename "$exe")

spawn demo "$exe"
DEMO=$SPAWNED

wait_for "the window without a tray" 20 main_window "$class"
icon_window "$class" >/dev/null && fail "an icon is shown with no tray to hold it"
shot no-tray

start_tray
wait_for "the icon once the tray is up" 15 icon_window "$class"
main_window "$class" >/dev/null || fail "the window went away when the tray came up"
shot tray-later
alive "$DEMO" || fail "the program ended"
e2e_log "PASS"
