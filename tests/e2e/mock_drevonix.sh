#!/usr/bin/env bash
# drevonix on a mocked controller, on a virtual desktop: telemetry requests while the
# controller is plugged, none while it is unplugged, again after a replug; a
# wheel-button report from the new node typed into a window of ours (XTest); SIGTERM
# saves Control.ini and ends with status 0.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"
. "$DREVONIX_E2E_LIB/mock.sh"

mock_need drevonix
need_tools xev
desktop_start
exe=$(private_copy "$DREVONIX_EXE")
class=$(basename "$exe")
ini="$(dirname "$exe")/Control.ini"
# Row 01 answers wheel code 700 with X; the other rows keep their default code.
printf '[Key 01]\r\nJ.Code=700\r\nValue=88\r\nSymbol=X\r\n' >"$ini"

# The receiver: xev reports every key that reaches its window.
spawn receiver xev -event keyboard -name drevonix-receiver -geometry 300x200+20+400
wait_for "the receiver window" 10 xdotool search --onlyvisible --name '^drevonix-receiver$'
receiver=$(xdotool search --onlyvisible --name '^drevonix-receiver$' | head -n1)
taps() { grep -A2 '^KeyPress' "$WORK/receiver.log" | grep -c 'keysym 0x78, x)'; }
typed() { [ "$(taps)" -ge 1 ]; }

log=$WORK/mock.log ctl=$WORK/mock.ctl
spawn drevonix "$MOCK" --timeout 60 --log "$log" --control "$ctl" -- "$exe"
MOCK_PID=$SPAWNED
wait_for "the tray icon" 20 icon_window "$class"
# requests N [FROM]: at least N telemetry requests on the live node, from FROM ms on. The
# program asks once a second (its timer's interval is checked by the widget tests); here
# it matters that it keeps asking, and where.
requests() { [ "$(outs "$log" 3 "${2:-0}")" -ge "$1" ]; }
wait_for "three telemetry requests" 10 requests 3

echo unplug-udev >"$ctl"
wait_for "the unplug" 5 grep -q ' unplug ' "$log"
t1=$(log_time "$log" unplug)
# Long enough for a tick or two, which must not reach any node; the count comes below.
sleep 1.6

echo plug >"$ctl"
wait_for "the replug" 5 grep -q ' plug /dev/hidraw1' "$log"
t2=$(log_time "$log" plug)
# The new node is read too: a press while the window is hidden types into the window that
# has the focus, once for a short press.
xdotool windowactivate --sync "$receiver" || fail "cannot activate the receiver"
echo "press 700 5" >"$ctl"
wait_for "the press typed into the receiver" 5 typed
# The program's own timer as the clock: two requests after the press began, a second has
# passed on it, and the press's five reports (50 ms) have long been read.
wait_for "two telemetry requests after the press" 10 requests 2 "$(log_time "$log" press)"
n=$(($(outs "$log" 3 "$t1") - $(outs "$log" 3 "$t2")))
[ "$n" -eq 0 ] && [ "$(stales "$log")" -eq 0 ] ||
    fail "telemetry requested while unplugged ($n on the wire, $(stales "$log") to the removed node)"
[ "$(taps)" -eq 1 ] || fail "$(taps) keystrokes for a short press, expected 1"

# SIGTERM: the mock passes it on; the program saves its settings and ends with 0.
kill -TERM "$MOCK_PID"
wait_for "the program to end after SIGTERM" 10 gone "$MOCK_PID"
wait "$MOCK_PID"
rc=$?
[ "$rc" -eq 0 ] || fail "the program ended with status $rc after SIGTERM"
[ "$(ini_sections "$ini")" -eq 14 ] || fail "Control.ini was not saved whole: $(cat -v "$ini")"
grep -q '^J.Code=700' <(tr -d '\r' <"$ini") || fail "the saved Control.ini lost row 01's code"
e2e_log "PASS"
