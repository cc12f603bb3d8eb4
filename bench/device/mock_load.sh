#!/usr/bin/env bash
# The real drevonix on the mock controller (umockdev), on a private virtual desktop (Xvfb,
# openbox, trayer, a fresh HOME). Prints one "figure: value" line per measurement:
#
#   idle wake-ups   hidden, the controller attached, no button: the voluntary context
#                   switches of all its threads over 30 s, per second, and per thread
#   held            a wheel button held at 1000 reports/s (row 05 types X for it, with the
#                   default repeat): CPU of drevonix against the report floor, a bare Qt
#                   program reading the same mocked node on its main thread
#                   (bench_report_floor); alternating runs, their medians and the ratio
#   latency         reports at 100/s, each typing X (Val.First 1, Val.Next 1), into a window
#                   that stamps every key press (bench_key_stamps); from the mock's write of
#                   the report to the press reaching the window, through the X server
#
#   bench/device/mock_load.sh [--build DIR] [--exe PATH] [--runs N] [--idle-only] [--ioctl]
#                             [--out FILE]
#
#   --build DIR    the build folder (default: build): the mock controller and the two
#                  bench programs, and drevonix unless --exe names another one
#   --exe PATH     the drevonix to measure (for figures before and after a change)
#   --runs N       held runs of each program (default 3)
#   --idle-only    only the idle wake-ups
#   --ioctl        the mock answers hidapi's ioctl on the node, for a drevonix that opens
#                  it through hidapi; every read and write then passes through the mock
#
# CPU is the sum of /proc/PID/task/*/schedstat. Not part of CI: about five minutes.
# Everything started here is stopped by PID on exit.

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build
exe=
runs=3
idle_only=0
out=
usage="usage: bench/device/mock_load.sh [--build DIR] [--exe PATH] [--runs N] [--idle-only] [--ioctl] [--out FILE]"
mock_options=()
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$(cd "$2" && pwd) || exit 2; shift 2 ;;
        --exe) exe=$(realpath "$2") || exit 2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --idle-only) idle_only=1; shift ;;
        --ioctl) mock_options+=(--ioctl); shift ;;
        --out) out=$(realpath -m "$2"); shift 2 ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "--runs: a whole number" >&2; exit 2; }

export DREVONIX_EXE=${exe:-$build/bin/drevonix}
export MOCK_CONTROLLER_EXE=$build/tests/e2e/mock_controller/mock_controller
FLOOR=$build/bench/device/bench_report_floor
STAMPS=$build/bench/device/bench_key_stamps
. "$root/tests/e2e/lib/desktop.sh"
. "$root/tests/e2e/lib/mock.sh"
. "$root/bench/lib.sh"
mock_need drevonix
[ -x "$FLOOR" ] && [ -x "$STAMPS" ] || skip "bench_report_floor and bench_key_stamps are not built"
need_tools awk pgrep

CODE=700
RATE=1000
HELD_S=20                      # measured, from 2 s into a stream
HELD_N=$(((HELD_S + 4) * RATE)) # reports per held stream
LAT_N=2000                     # latency reports, at 100/s
LAT_SKIP=100                   # the first ones, left out

desktop_start
EXE=$(private_copy "$DREVONIX_EXE")
CLASS=$(basename "$EXE")
INI=$(dirname "$EXE")/Control.ini

figure "date" "$(date -u '+%Y-%m-%d %H:%M UTC')"
figure "machine" "$(machine)"
figure "program" "$DREVONIX_EXE${mock_options[*]:+ (mock ${mock_options[*]})}"

# start_drevonix NAME INI-TEXT: drevonix under the mock; sets PID (drevonix), MOCK_PID, LOG, CTL.
start_drevonix() {
    printf "$2" >"$INI"
    LOG=$WORK/$1.mock CTL=$WORK/$1.ctl
    spawn "$1" "$MOCK" "${mock_options[@]}" --timeout 3600 --log "$LOG" --control "$CTL" -- "$EXE"
    MOCK_PID=$SPAWNED
    wait_for "drevonix under the mock" 10 pgrep -P "$MOCK_PID"
    PID=$(pgrep -P "$MOCK_PID" | head -n1)
    wait_for "the tray icon" 20 icon_window "$CLASS"
    wait_for "the first telemetry request" 10 requested
}
requested() { [ "$(outs "$LOG" 3)" -ge 1 ]; }

stop_mock() {
    kill -TERM "$MOCK_PID" 2>/dev/null
    for ((n = 0; n < 100; n++)); do gone "$MOCK_PID" && break; sleep 0.1; done
    wait "$MOCK_PID" 2>/dev/null
}

# stream_done LOG N: the mock has sent (or, the program's buffer full, lost) the N-th
# report of its stream.
stream_done() { grep -qE " (sent|lost) $2 " "$1"; }
lost() { awk '$2 == "lost" { n++ } END { print n + 0 }' "$1"; }

# CPU share of one core held by PID over SECONDS, in percent, and its wake-ups a second:
# two bare numbers.
cpu_over() {
    local n0 n1 w0 w1 v0 v1
    n0=$(cpu_ns "$1") && v0=$(wakeups "$1" | awk '{ s += $3 } END { print s }') && w0=$(now_ns)
    sleep "$2"
    n1=$(cpu_ns "$1") && v1=$(wakeups "$1" | awk '{ s += $3 } END { print s }') && w1=$(now_ns)
    alive "$1" || fail "the program ended during the measurement"
    awk -v n=$((n1 - n0)) -v v=$((v1 - v0)) -v w=$((w1 - w0)) 'BEGIN { printf "%.3f %.0f", 100 * n / w, v / (w / 1e9) }'
}

# ---- idle, hidden, attached
start_drevonix idle '[Key 05]\r\nJ.Code=700\r\nSymbol=X\r\nValue=88\r\n'
sleep 5
wakeups "$PID" >"$WORK/wake0"
w0=$(now_ns)
sleep 30
wakeups "$PID" >"$WORK/wake1"
w1=$(now_ns)
figure "idle wake-ups, hidden, controller attached, 30 s" "$(awk -v w=$((w1 - w0)) '
    NR == FNR { before[$1] = $3; next }
    { d = $3 - before[$1]; total += d; if (d > 0) list = list sprintf(" %s %.2f,", $2, d / (w / 1e9)) }
    END { printf "%.2f/s (%d threads;%s)", total / (w / 1e9), FNR, list }' "$WORK/wake0" "$WORK/wake1")"
figure "threads" "$(ls /proc/"$PID"/task | wc -l)"
[ "$idle_only" -eq 1 ] && { stop_mock; e2e_log "done"; exit 0; }

# ---- held at 1000 reports/s: drevonix and the floor, alternating
held_drevonix=() held_floor=() wakes_drevonix=() wakes_floor=()
for ((r = 1; r <= runs; r++)); do
    echo "stream $CODE $HELD_N $RATE" >"$CTL"
    sleep 2
    read -r c w < <(cpu_over "$PID" "$HELD_S")
    held_drevonix+=("$c") wakes_drevonix+=("$w")
    wait_for "the end of the stream" 60 stream_done "$LOG" "$HELD_N"
    e2e_log "run $r: drevonix ${held_drevonix[-1]} %, ${wakes_drevonix[-1]} wake-ups/s, $(lost "$LOG") reports lost so far"
    sleep 2

    flog=$WORK/floor$r.mock
    spawn floor$r "$MOCK" "${mock_options[@]}" --timeout 120 --log "$flog" --at "300:stream $CODE $HELD_N $RATE" \
        -- "$FLOOR" /dev/hidraw0 "$HELD_N"
    fmock=$SPAWNED
    wait_for "the floor under the mock" 10 pgrep -P "$fmock"
    fpid=$(pgrep -P "$fmock" | head -n1)
    wait_for "the floor's stream" 10 grep -q ' stream ' "$flog"
    sleep 2
    read -r c w < <(cpu_over "$fpid" "$HELD_S")
    held_floor+=("$c") wakes_floor+=("$w")
    for ((n = 0; n < 600; n++)); do gone "$fmock" && break; sleep 0.1; done
    wait "$fmock" 2>/dev/null
    grep -q "^read $HELD_N reports" "$WORK/floor$r.log" || e2e_log "the floor did not read every report"
    e2e_log "run $r: floor ${held_floor[-1]} %, ${wakes_floor[-1]} wake-ups/s, $(lost "$flog") reports lost"
done
md=$(median "${held_drevonix[@]}") mf=$(median "${held_floor[@]}")
figure "CPU held at $RATE reports/s, hidden, ${HELD_S} s, drevonix (runs)" "${held_drevonix[*]} %"
figure "CPU held at $RATE reports/s, ${HELD_S} s, report floor (runs)" "${held_floor[*]} %"
figure "wake-ups a second while held, drevonix and floor (runs)" "${wakes_drevonix[*]} / ${wakes_floor[*]}"
figure "held, medians" "drevonix $md %, floor $mf %, ratio $(awk -v a="$md" -v b="$mf" 'BEGIN { printf "%.2f", a / b }')"
stop_mock

# ---- report-to-keystroke latency
start_drevonix latency '[Key 05]\r\nJ.Code=700\r\nSymbol=X\r\nValue=88\r\n[System]\r\nDiffer=5\r\nVal.First=1\r\nVal.Next=1\r\n'
spawn stamps "$STAMPS" drevonix-key-stamps
wait_for "the stamping window" 10 xdotool search --onlyvisible --name '^drevonix-key-stamps$'
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^drevonix-key-stamps$' | head -n1)"
sleep 1
echo "stream $CODE $LAT_N 100" >"$CTL"
wait_for "the end of the latency stream" $((LAT_N / 100 + 30)) stream_done "$LOG" "$LAT_N"
sleep 2
presses=$(wc -l <"$WORK/stamps.log")
[ "$presses" -eq "$LAT_N" ] || fail "$presses key presses for $LAT_N reports: cannot pair them"
paste -d' ' <(awk '$2 == "sent" { print $4 }' "$LOG") "$WORK/stamps.log" |
    awk -v skip="$LAT_SKIP" 'NR > skip { print $2 - $1 }' | sort -n >"$WORK/latency"
figure "report-to-keystroke latency, $((LAT_N - LAT_SKIP)) reports at 100/s (µs)" "$(awk '
    { v[NR] = $1 } END {
        printf "p50 %d, p90 %d, p99 %d, max %d", v[int(NR * 0.5 + 0.5)], v[int(NR * 0.9 + 0.5)], v[int(NR * 0.99 + 0.5)], v[NR] }' "$WORK/latency")"
stop_mock
e2e_log "done"
