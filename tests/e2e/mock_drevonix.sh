#!/usr/bin/env bash
# drevonix on a mocked controller, on a virtual desktop: a telemetry request a second
# while the controller is plugged, none while it is unplugged, again after a replug; a
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
requests() { [ "$(outs "$log" 3 "${1:-0}")" -ge 1 ]; }
wait_for "the first telemetry request" 10 requests
t0=$(awk '$2 == "out" && $4 == "03" { print $1; exit }' "$log")

# once_a_second FROM: requests in the 2.5 s from FROM (ticks at FROM + 0..1 s, +1, +2 s).
once_a_second() {
    local n
    n=$(awk -v from="$1" '$2 == "out" && $4 == "03" && $1 >= from && $1 < from + 2500 { n++ }
        END { print n + 0 }' "$log")
    [ "$n" -ge 2 ] && [ "$n" -le 3 ] || fail "$n telemetry requests in 2.5 s $2, expected 2 or 3"
}
sleep_until() { sleep "$(awk -v t="$1" -v now="$(log_now)" 'BEGIN { d = (t - now) / 1000; print (d > 0 ? d : 0) }')"; }
log_now() { echo "$(($(date +%s%3N) - start_ms))"; }
# The log's clock starts with the program; ours is matched to it at the first request.
start_ms=$(($(date +%s%3N) - t0))

sleep_until $((t0 + 2600))
once_a_second "$t0" "while plugged"

echo unplug-udev >"$ctl"
wait_for "the unplug" 5 grep -q ' unplug ' "$log"
t1=$(log_time "$log" unplug)
sleep 1.6
n=$(outs "$log" 3 "$t1")
[ "$n" -eq 0 ] && [ "$(stales "$log")" -eq 0 ] ||
    fail "telemetry requested while unplugged ($n on the wire, $(stales "$log") to the removed node)"

echo plug >"$ctl"
wait_for "the replug" 5 grep -q ' plug /dev/hidraw1' "$log"
t2=$(log_time "$log" plug)
# The new node is read too: a press while the window is hidden types into the window that
# has the focus, once for a short press.
xdotool windowactivate --sync "$receiver"
echo "press 700 5" >"$ctl"
wait_for "the press typed into the receiver" 5 typed
sleep_until $((t2 + 2600))
once_a_second "$t2" "after the replug"
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
