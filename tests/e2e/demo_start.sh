#!/usr/bin/env bash
# The demo starts as the program does, as a tray icon only; a click on the icon shows the
# main window, with the emulated controller connected, and the simulator window beside it.
# On a German desktop: the program speaks English there, and so do its screenshots.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"
. "$DREVONIX_E2E_LIB/demo.sh"

demo_need
desktop_start
export LANG=de_DE.UTF-8
demo_start
sleep 1
demo_main >/dev/null && fail "the main window is shown at start"
demo_simulator >/dev/null && fail "the simulator window is shown at start"
shown=$(visible_windows "$DEMO_CLASS" | wc -l)
[ "$shown" -eq 1 ] || fail "$shown windows of the demo are shown at start, expected the tray icon only"
expect_get window.visible 0
expect_get WindowActive 0
shot start

show_main
expect_get window.active 1
expect_get WindowActive 1
expect_get StatusBar.0 "Device connected"
expect_get StatusBar.1 "$PRODUCT_NAME"
wait_for "the simulator window" 5 demo_simulator
[ "$(xdotool getwindowname "$(demo_simulator)")" = "Controller simulator" ] ||
    fail "the simulator is not in English"
# Beside, not over it, and whole on the screen, once the window manager has framed it (the
# demo places it again then).
placed() {
    read -r mx my mw mh < <(window_geometry "$MAIN")
    read -r sx sy sw sh < <(window_geometry "$(demo_simulator)")
    { [ "$sx" -ge $((mx + mw)) ] || [ $((sx + sw)) -le "$mx" ]; } &&
        [ "$sx" -ge 0 ] && [ $((sx + sw)) -le 1024 ] && [ $((sy + sh)) -le 768 ]
}
placed || sleep 3
placed || fail "the simulator covers the main window or is off the screen: main window at" \
    "$mx,$my ${mw}x$mh; simulator at $sx,$sy ${sw}x$sh"
e2e_log "main window at $mx,$my ${mw}x$mh; simulator at $sx,$sy ${sw}x$sh"
# Showing the simulator did not take the activation from the main window.
expect_get window.active 1
shot shown
e2e_log "PASS"
