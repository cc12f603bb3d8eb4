#!/usr/bin/env bash
# A settings file that cannot be written: "Выход" shows the error, the user keeps the
# program ("Нет"), and it keeps running with its icon; closing the window shows it and the program keeps running, the
# window open and the icon gone. Once the file is writable again, the close ends it.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"

[ -x "${DREVONIX_DEMO_EXE:-}" ] || skip "drevonix-demo is not built"
desktop_start
exe=$(private_copy "$DREVONIX_DEMO_EXE")
class=$(basename "$exe")
ini="$(dirname "$exe")/Control.ini"
printf '[Key 01]\r\nSymbol=OLD\r\n' >"$ini"
chmod 444 "$ini"
before=$(md5sum <"$ini")

spawn demo "$exe"
DEMO=$SPAWNED

error_box() { dialog_window "$class" "$MAIN_TITLE"; }
no_error_box() { ! error_box; }
# The error box, then the question whether to end without saving: Return is "Нет".
dismiss_error() {
    local box
    box=$(error_box) || fail "no error box"
    xdotool windowactivate --sync "$box" key Return
    other_box() { local b; b=$(error_box) && [ "$b" != "$box" ]; }
    wait_for "the question after the error" 10 other_box
    xdotool windowactivate --sync "$(error_box)" key Return
    wait_for "the boxes to close" 5 no_error_box
}

wait_for "the tray icon" 20 icon_window "$class"
icon=$(icon_window "$class")
read -r _ _ iw ih < <(window_geometry "$icon")

# "Выход", the last item of the menu.
xdotool mousemove --window "$icon" $((iw / 2)) $((ih / 2)) click 3
sleep 0.7
xdotool key Up Return
wait_for "the error box after Выход" 10 error_box
shot readonly-exit-error
dismiss_error
sleep 0.5
alive "$DEMO" || fail "the program ended although its settings could not be saved"
icon_window "$class" >/dev/null || fail "the icon went away after a failed Выход"

# Closing the window from its title bar.
xdotool mousemove --window "$icon" $((iw / 2)) $((ih / 2)) click 1
wait_for "the window" 5 main_window "$class"
win=$(main_window "$class")
xdotool windowactivate --sync "$win" key alt+F4
wait_for "the error box after closing the window" 10 error_box
shot readonly-close-error
dismiss_error
sleep 0.5
alive "$DEMO" || fail "the program ended although its settings could not be saved"
main_window "$class" >/dev/null || fail "the window closed although its settings could not be saved"
icon_window "$class" >/dev/null && fail "the icon is back after a failed close"
[ "$(md5sum <"$ini")" = "$before" ] || fail "the read-only file changed"

# Writable again: the close goes through and saves.
chmod 644 "$ini"
xdotool windowactivate --sync "$win" key alt+F4
wait_for "the program to end after closing its window" 10 gone "$DEMO"
wait "$DEMO" || fail "the program ended with an error"
grep -q '^Symbol=OLD' "$ini" || fail "the saved file lost the key table"
[ "$(ini_values "$ini")" -eq 89 ] || fail "Control.ini has $(ini_values "$ini") values"
e2e_log "PASS"
