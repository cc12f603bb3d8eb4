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
xdotool windowactivate --sync "$receiver"
sleep 0.5
expect_get WindowActive 0

taps() { grep -A2 '^KeyPress' "$receiver_log" | grep -c 'keysym 0x78, x)'; }
taps_are() { [ "$(taps)" -eq "$1" ]; }
# More than a second without reports resets the count: the next press fires at once.
pause_for_release() { sleep 1.7; }

sim "rate 1000" >/dev/null
pause_for_release
sim "burst 700 450" >/dev/null || fail "the burst was cut short"
wait_for "4 taps for 450 reports" 5 taps_are 4
pause_for_release
sim "burst 700 200" >/dev/null
wait_for "1 more tap for 200 reports" 5 taps_are 5
sleep 0.5
taps_are 5 || fail "$(taps) taps after the second press, expected 5"
# A code outside the tolerance types nothing; one within it does.
pause_for_release
sim "burst 706 1" >/dev/null
pause_for_release
sim "burst 704 1" >/dev/null
wait_for "a tap for code 704" 5 taps_are 6
sleep 0.3
taps_are 6 || fail "code 706 typed into the receiver"
shot receiver

# With the main window active nothing is typed.
show_main
wait_get WindowActive 1 5
pause_for_release
sim "burst 700 450" >/dev/null
sleep 0.5
taps_are 6 || fail "keystrokes were sent while the main window was active"
e2e_log "PASS"
