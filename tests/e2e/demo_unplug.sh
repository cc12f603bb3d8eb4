#!/usr/bin/env bash
# Unplugging the emulated controller: the status bar says so, and the readouts fall to
# zero at the next tick; plugging it again brings the readings back.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"
. "$DREVONIX_E2E_LIB/demo.sh"

readouts_are() {
    sim_get_is Button1 "$1" && sim_get_is Button2 "$2" && sim_get_is Button3 "$3"
}

demo_need
desktop_start
demo_start
show_main
# Fixed readings, so that the readouts can be told: 13.81 V, 12.10 V, 25.2 °C.
sim_do "adc 920 800 584"
wait_for "the readings in the readouts" 5 readouts_are "13.81 v" "12.10 v" "25.2 °C"

sim_do unplug
wait_get StatusBar.0 "Устройство отключено" 3
# One tick (1 s) later at the latest the readouts show zero.
wait_for "the readouts at zero" 3 readouts_are "0.00 v" "0.00 v" "0.0 °C"
shot unplugged

sim_do plug
wait_get StatusBar.0 "Устройство подключено" 3
wait_get StatusBar.1 "$PRODUCT_NAME" 3
# The request goes out at one tick, its answer shows at the next.
wait_for "the readings back" 5 readouts_are "13.81 v" "12.10 v" "25.2 °C"
e2e_log "PASS"
