#!/usr/bin/env bash
# Report-to-keystroke latency through drevonix-cli keys, on the mocked controller (umockdev)
# under a private Xvfb: a wheel button held for N reports, 10 ms apart, with Val.First and
# Val.Next at 1 so that every report types a key; each report's time as the mock sent it
# against the X server's time of the key press it became (XTest; both on CLOCK_MONOTONIC,
# the server's in whole milliseconds, so each latency lies between the figure and 1 ms
# more: both bounds are printed). Prints "figure: value" lines. Not part of CI.
#
#   bench/keys_latency.sh [--build DIR] [--reports N]
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$root/build
reports=1000
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$(cd "$2" && pwd) || exit 2; shift 2 ;;
        --reports) reports=$2; shift 2 ;;
        *) echo "usage: bench/keys_latency.sh [--build DIR] [--reports N]" >&2; exit 2 ;;
    esac
done
export DREVONIX_CLI_EXE=$build/bin/drevonix-cli
export MOCK_CONTROLLER_EXE=$build/tests/e2e/mock_controller/mock_controller
. "$root/tests/e2e/lib/desktop.sh"
. "$root/tests/e2e/lib/mock.sh"
mock_need drevonix-cli
need_tools xev
desktop_start --no-tray
cli=$(private_copy "$DREVONIX_CLI_EXE")
printf '[Key 01]\r\nJ.Code=700\r\nValue=88\r\n[System]\r\nVal.First=1\r\nVal.Next=1\r\n' \
    >"$(dirname "$cli")/Control.ini"
spawn receiver xev -event keyboard -name drevonix-receiver -geometry 300x200+20+400
wait_for "the receiver window" 10 xdotool search --onlyvisible --name '^drevonix-receiver$'
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^drevonix-receiver$' | head -n1)"
log=$WORK/mock.log
spawn keys "$MOCK" --timeout $((reports / 50 + 60)) --log "$log" --control "$WORK/ctl" -- "$cli" keys
wait_for "the controller" 10 grep -q 'typing the wheel buttons' "$WORK/keys.log"
echo "press 700 $reports" >"$WORK/ctl"
typed() { [ "$(grep -c '^KeyPress' "$WORK/receiver.log")" -ge "$reports" ]; }
wait_for "$reports key presses" $((reports / 50 + 30)) typed

# The n-th report against the n-th press, in milliseconds.
awk '$2 == "report" { printf "%.3f\n", $4 / 1000 }' "$log" >"$WORK/sent"
grep -A1 '^KeyPress' "$WORK/receiver.log" | grep -o 'time [0-9]*' | cut -d' ' -f2 >"$WORK/typed"
[ "$(wc -l <"$WORK/sent")" = "$(wc -l <"$WORK/typed")" ] ||
    fail "$(wc -l <"$WORK/sent") reports but $(wc -l <"$WORK/typed") key presses"
paste "$WORK/sent" "$WORK/typed" | awk '{ printf "%.3f\n", $2 - $1 }' | sort -n >"$WORK/latency"
pct() { awk -v p="$1" '{ v[NR] = $1 } END { i = int(NR * p / 100 + 0.999); if (i < 1) i = 1; printf "%.1f to %.1f ms\n", (v[i] < 0 ? 0 : v[i]), v[i] + 1 }' "$WORK/latency"; }
printf 'reports: %s\n' "$reports"
printf 'latency p50: %s\n' "$(pct 50)"
printf 'latency p99: %s\n' "$(pct 99)"
printf 'latency max: %s\n' "$(pct 100)"
printf 'load average: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
