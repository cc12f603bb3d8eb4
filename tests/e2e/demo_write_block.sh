#!/usr/bin/env bash
# A parameter typed into the form and written with "Записать" lands in the controller's
# block, byte for byte.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"
. "$DREVONIX_E2E_LIB/demo.sh"

demo_need
desktop_start
demo_start
factory="03 1f 02 14 1e 28 3c 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01 00"
sim_block_is "$factory" || fail "the emulator does not start with the factory block"
show_main
# The parameters page reads the block from the controller: U1 raw 799 is 12.00 V.
choose_tab 1
wait_get eACC 12.00 3

click "$MAIN" "${EACC[@]}"
xdotool key ctrl+a
xdotool type --delay 50 "13"
wait_get eACC 13 3
click "$MAIN" "${WRITE_BUTTON[@]}"
# U1 = 13 V is raw 13 / 15 * 1024 - 20 = 867 (0x0363), big-endian; nothing else changes.
wait_for "the new block in the controller" 3 sim_block_is "03 63 ${factory#03 1f }"
shot written

# Read back through the form: raw 867 shows as (867 + 20) / 1024 * 15 = 12.99 V.
choose_tab 0
choose_tab 1
wait_get eACC 12.99 3
e2e_log "PASS"
