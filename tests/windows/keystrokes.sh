#!/usr/bin/env bash
# Wheel presses reach another Windows program through keybd_event: the taught key with its
# modifiers, once at the first report of a press, then at reports 201, 301, 401 ...
. "$DREVONIX_E2E_LIB/desktop.sh"
. "$(dirname "$0")/lib.sh"
desktop_start
wine_start

# Row 01: code 700 types Shift+Ctrl+A; row 02: code 900 types F, a mark behind which
# everything typed before has arrived.
demo=$(app_copy drevonix-demo)
printf '[Key 01]\r\nJ.Code=700\r\nShift=1\r\nCtrl=1\r\nAlt=0\r\nValue=65\r\n[Key 02]\r\nJ.Code=900\r\nShift=0\r\nCtrl=0\r\nAlt=0\r\nValue=70\r\n' >"$WORK/app/Control.ini"
demo_start "$demo"
log=$WORK/keys.log
win_spawn receiver key_receiver "$(winepath -w "$log")" 120
wait_for "the receiver" 30 grep -q ready "$log"

# A press of N reports of CODE at 1000 reports a second, once the last press has ended.
press() {
    wait_for "the last press to end" 5 sim_get_is ReportCount 0
    sim_do "burst $1 $2"
}
marks=0
settle() {
    press 900 1
    marks=$((marks + 1))
    wait_for "mark $marks in the receiver" 10 test "$(grep -c '^down 70 ' "$log")" -eq "$marks"
}
sim_do "rate 1000"
press 700 450
settle
taps=$(grep -c '^down 65 1 1 0$' "$log")
[ "$taps" -eq 4 ] || fail "$taps Shift+Ctrl+A for a press of 450 reports, expected 4: $(tr '\n' ' ' <"$log")"
[ "$(grep -c '^up 65 ' "$log")" -eq 4 ] || fail "A was not released after each tap"
# The modifiers go down before the key and up after it, and nothing is left held.
[ "$(grep -c '^down 16 ' "$log")" -ge 4 ] && [ "$(grep -c '^down 17 ' "$log")" -ge 4 ] ||
    fail "Shift and Ctrl were not pressed with each tap"
tail -n 2 "$log" | grep -q '^up 70 0 0 0$' || fail "a modifier is still held after the last key"
shot keystrokes
demo_quit
e2e_log PASS
