#!/usr/bin/env bash
# A taught button types into another program while the window is hidden: one tap at the
# first report of a press, then at reports 201, 301, 401 ...; nothing while the main
# window is active.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"
. "$DREVONIX_E2E_LIB/demo.sh"

demo_need
need_tools xev
desktop_start
demo_start
show_main
# Row 06 answers code 900 with its own key, F: an "f" in the receiver is a mark behind
# which every key typed for earlier reports has arrived.
JCODE06=(32 177)
choose_tab 2
click "$MAIN" "${JCODE06[@]}"
sim_do "hold 900"
wait_get jcode06 900 3
sim_do release
expect_get smb06 F
pressed_out 5
learn_row5

# "Свернуть" hides the window, and selects "Индикаторы" again for the next showing.
click "$MAIN" "${TAB_X[3]}" 12
wait_get window.visible 0 3
expect_get tab 0

# The receiver: xev reports every key that reaches its window.
spawn receiver xev -event keyboard -name drevonix-receiver -geometry 300x200+20+400
receiver_log="$WORK/receiver.log"
wait_for "the receiver window" 10 xdotool search --onlyvisible --name '^drevonix-receiver$'
receiver=$(xdotool search --onlyvisible --name '^drevonix-receiver$' | head -n1)
activate_receiver() {
    xdotool windowactivate --sync "$receiver" || fail "cannot activate the receiver"
    wait_get WindowActive 0 5
}
activate_receiver

keys() { grep -A2 '^KeyPress' "$receiver_log" | grep -c "keysym $1"; }
taps() { keys '0x78, x)'; }
marks_are() { [ "$(keys '0x66, f)')" -eq "$1" ]; }
# A press of N reports of CODE, at 1000 reports a second, once the last one has ended.
press() {
    pressed_out 5
    sim_do "burst $1 $2"
}
# Puts a mark behind what has been typed, and waits for it.
marks=0
settle() {
    press 900 1
    marks=$((marks + 1))
    wait_for "mark $marks in the receiver" 5 marks_are "$marks"
}
expect_taps() {
    settle
    [ "$(taps)" -eq "$1" ] || fail "$(taps) taps $2, expected $1"
}

sim_do "rate 1000"
press 700 450
expect_taps 4 "for a press of 450 reports"
press 700 200
expect_taps 5 "after a second press of 200 reports"
# A code outside the tolerance types nothing; one within it does.
press 706 1
expect_taps 5 "after code 706"
press 704 1
expect_taps 6 "after code 704"
shot receiver

# With the main window active nothing is typed.
show_main
wait_get WindowActive 1 5
press 700 450
activate_receiver
expect_taps 6 "after a press while the main window was active"
e2e_log "PASS"
