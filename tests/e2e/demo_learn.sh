#!/usr/bin/env bash
# Teaching a wheel button: a click in jcode05 and a held button write its code there; a
# click in smb05 and a key write the key's character and its virtual-key code. On an
# English desktop.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"
. "$DREVONIX_E2E_LIB/demo.sh"

demo_need
desktop_start
export LANG=en_GB.UTF-8
demo_start
show_main
expect_get jcode05 1024
learn_row5
# Only the focused row learned.
expect_get jcode04 1024
expect_get jcode06 1024
expect_get smb04 D
expect_get smb06 F
# Codes reach only a focused code field: with the symbol edit focused, nothing changes.
pressed_out 5
sim_do "burst 1500 1"
expect_get jcode05 700
expect_get smb05 X
shot learned

# The key-code box: its caption is the box's own text alone, and the tray icon still
# works while the box is open.
INFO=(456 364)
BOX_TITLE="Multimedia key codes"
info_box() { dialog_window "$DEMO_CLASS" "$BOX_TITLE"; }
click "$MAIN" "${INFO[@]}"
wait_for "a window captioned \"$BOX_TITLE\" alone" 5 info_box
shot info-box
xdotool mousemove --window "$(demo_icon)" 11 15 click 1
wait_get window.visible 0 5
box=$(info_box) && xdotool key --window "$box" Return
e2e_log "PASS"
