#!/usr/bin/env bash
# A settings file that cannot be written: "Выход" shows the error and the program keeps
# running with its icon; closing the window shows it and the program keeps running, the
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

small() { local g; g=($(window_geometry "$1")) && [ "${g[2]}" -le 64 ] && [ "${g[3]}" -le 64 ]; }
icon_window() {
    local w
    for w in $(visible_windows "$class"); do small "$w" && { echo "$w"; return 0; }; done
    return 1
}
# The error box: a dialog of the program titled with the application title.
error_box() {
    local w
    for w in $(visible_windows "$class"); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG || continue
        [ "$(xdotool getwindowname "$w")" = "Drevonix v2.2" ] && { echo "$w"; return 0; }
    done
    return 1
}
main_window() {
    local w g
    for w in $(visible_windows "$class"); do
        g=($(window_geometry "$w")) || continue
        [ "${g[2]}" -ge 400 ] && [ "$(xdotool getwindowname "$w")" = "Drevonix v2.2" ] &&
            ! xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q DIALOG && { echo "$w"; return 0; }
    done
    return 1
}
no_error_box() { ! error_box; }
alive() { kill -0 "$DEMO" 2>/dev/null; }
dismiss_error() {
    local box
    box=$(error_box) || fail "no error box"
    xdotool windowactivate --sync "$box" key Return
    wait_for "the error box to close" 5 no_error_box
}

wait_for "the tray icon" 20 icon_window
icon=$(icon_window)
read -r _ _ iw ih < <(window_geometry "$icon")

# "Выход", the last item of the menu.
xdotool mousemove --window "$icon" $((iw / 2)) $((ih / 2)) click 3
sleep 0.7
xdotool key Up Return
wait_for "the error box after Выход" 10 error_box
shot readonly-exit-error
dismiss_error
sleep 0.5
alive || fail "the program ended although its settings could not be saved"
icon_window >/dev/null || fail "the icon went away after a failed Выход"

# Closing the window from its title bar.
xdotool mousemove --window "$icon" $((iw / 2)) $((ih / 2)) click 1
wait_for "the window" 5 main_window
win=$(main_window)
xdotool windowactivate --sync "$win" key alt+F4
wait_for "the error box after closing the window" 10 error_box
shot readonly-close-error
dismiss_error
sleep 0.5
alive || fail "the program ended although its settings could not be saved"
main_window >/dev/null || fail "the window closed although its settings could not be saved"
icon_window >/dev/null && fail "the icon is back after a failed close"
[ "$(md5sum <"$ini")" = "$before" ] || fail "the read-only file changed"

# Writable again: the close goes through and saves.
chmod 644 "$ini"
xdotool windowactivate --sync "$win" key alt+F4
for ((n = 0; n < 100; n++)); do alive || break; sleep 0.1; done
alive && fail "the program still runs after closing its window"
wait "$DEMO" || fail "the program ended with an error"
grep -q '^Symbol=OLD' "$ini" || fail "the saved file lost the key table"
[ "$(ini_values "$ini")" -eq 89 ] || fail "Control.ini has $(ini_values "$ini") values"
e2e_log "PASS"
