#!/usr/bin/env bash
# Load run of drevonix-demo on a private virtual desktop (Xvfb, openbox, trayer, a fresh
# HOME): time to the tray icon, CPU share while a wheel button is held at 1000 reports/s
# and while idle (hidden, then shown), resident memory. Prints one "figure: value" line
# per measurement. Not part of CI: it takes about four minutes, or fourteen with --long.
#
#   bench/load.sh [--build DIR] [--long] [--long-minutes N] [--out FILE]
#
#   --build DIR        the build folder holding bin/drevonix-demo (default: build)
#   --long             also hold the button for N minutes (default 10), sampling memory
#   --out FILE         also append the figures to FILE
#
# CPU is read from /proc/PID/stat (utime + stime of all threads, in clock ticks), memory
# from VmRSS in /proc/PID/status. Everything started here is stopped by PID on exit.

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$root/build
long=0
long_minutes=10
out=
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$(cd "$2" && pwd) || exit 2; shift 2 ;;
        --long) long=1; shift ;;
        --long-minutes) long=1; long_minutes=$2; shift 2 ;;
        --out) out=$(realpath -m "$2"); shift 2 ;;
        *) echo "usage: bench/load.sh [--build DIR] [--long] [--long-minutes N] [--out FILE]" >&2; exit 2 ;;
    esac
done
[[ $long_minutes =~ ^[0-9]+$ ]] && [ "$long_minutes" -ge 1 ] || { echo "--long-minutes: a whole number" >&2; exit 2; }

export DREVONIX_DEMO_EXE=$build/bin/drevonix-demo
. "$root/tests/e2e/lib/desktop.sh"
. "$root/tests/e2e/lib/demo.sh"
. "$here/lib.sh"
demo_need
need_tools awk realpath

HZ=$(getconf CLK_TCK)
RATE=1000
CODE=700

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
hwm_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

# CPU share of one core held by PID over SECONDS, in percent.
cpu_share() {
    local pid=$1 secs=$2 t0 t1 n0 n1 w0 w1
    t0=$(cpu_ticks "$pid") && n0=$(cpu_ns "$pid") && w0=$(now_ns)
    sleep "$secs"
    t1=$(cpu_ticks "$pid") && n1=$(cpu_ns "$pid") && w1=$(now_ns)
    kill -0 "$pid" 2>/dev/null || fail "the demo ended during the measurement"
    awk -v t=$((t1 - t0)) -v hz="$HZ" -v w=$((w1 - w0)) -v n=$((n1 - n0)) \
        'BEGIN { printf "%.3f %% (%d ticks of 1/%d s in %.1f s; schedstat %.4f %%)", 100 * t / hz / (w / 1e9), t, hz, w / 1e9, 100 * n / w }'
}

desktop_start

# Its own copy, so that Control.ini beside it is this run's own. Row 05 answers the held
# code with the key X, so that the held button types, as a learnt button does.
DEMO_BIN=$(private_copy "$DREVONIX_DEMO_EXE")
DEMO_CLASS=$(basename "$DEMO_BIN")
printf '[Key 05]\r\nJ.Code=%s\r\nSymbol=X\r\nValue=88\r\n' "$CODE" >"$(dirname "$DEMO_BIN")/Control.ini"
export DREVONIX_SIM_SOCKET="$WORK/sim.sock"

figure "date" "$(date -u '+%Y-%m-%d %H:%M UTC')"
figure "machine" "$(machine)"

# Time to the icon: from just before the fork until the docked icon window is mapped.
icon_up() { xdotool search --onlyvisible --classname "$DEMO_CLASS" >/dev/null 2>&1 && demo_icon >/dev/null; }
t_start=$(now_ns)
spawn demo "$DEMO_BIN"
DEMO_PID=$SPAWNED
for ((n = 0; n < 1000; n++)); do
    icon_up && break
    kill -0 "$DEMO_PID" 2>/dev/null || fail "the demo ended during start-up"
    sleep 0.01
done
t_icon=$(now_ns)
icon_up || fail "no tray icon after ${n} polls"
figure "start to tray icon" "$(awk -v d=$((t_icon - t_start)) 'BEGIN { printf "%.3f s", d / 1e9 }')"
wait_for "the control socket" 20 sim "get tab"
expect_get window.visible 0

sleep 5
figure "resident after start (5 s, hidden)" "$(rss_kb "$DEMO_PID") kB"

sim "rate $RATE" >/dev/null || fail "rate refused"
# The rate is really reached: a burst of 2000 answers after its last report.
b0=$(now_ns)
sim "burst $CODE 2000" >/dev/null || fail "burst refused"
b1=$(now_ns)
figure "burst of 2000 reports took" "$(awk -v d=$((b1 - b0)) 'BEGIN { printf "%.2f s", d / 1e9 }')"

sim "hold $CODE" >/dev/null || fail "hold refused"
sleep 2
figure "CPU held at $RATE reports/s, hidden, 30 s" "$(cpu_share "$DEMO_PID" 30)"
sim release >/dev/null

sleep 3
figure "CPU idle, hidden, 60 s" "$(cpu_share "$DEMO_PID" 60)"

if show_main; then
    sleep 2
    figure "CPU idle, main window and simulator shown, 60 s" "$(cpu_share "$DEMO_PID" 60)"
    # The simulator is the demo's own; without it the shown window is what drevonix has.
    # Minimised, it is no longer drawn (its refresh timer still runs, so this is an upper
    # bound). Closing it is no choice: Alt+F4 reaches whichever window is active, and
    # closing the main window ends the program.
    if sim_w=$(demo_simulator) && xdotool windowminimize --sync "$sim_w" 2>/dev/null &&
        sleep 1 && ! demo_simulator >/dev/null; then
        sleep 2
        figure "CPU idle, main window shown, simulator minimised, 60 s" "$(cpu_share "$DEMO_PID" 60)"
    else
        e2e_log "the simulator window could not be minimised; no figure for the main window alone"
    fi
    figure "resident with the window shown" "$(rss_kb "$DEMO_PID") kB"
    # Back to the tray for the long run, through the "Свернуть" tab.
    click "$MAIN" "${TAB_X[3]}" 12
    wait_get window.visible 0 5
else
    e2e_log "the main window could not be shown from the tray; shown idle not measured"
fi

if [ "$long" -eq 1 ]; then
    sim "hold $CODE" >/dev/null || fail "hold refused"
    l0=$(cpu_ticks "$DEMO_PID") && lw0=$(now_ns)
    samples=()
    for ((m = 0; m < long_minutes * 2; m++)); do
        sleep 30
        kill -0 "$DEMO_PID" 2>/dev/null || fail "the demo ended during the long run"
        samples+=("$(rss_kb "$DEMO_PID")")
        e2e_log "$(((m + 1) * 30)) s held: ${samples[-1]} kB resident"
    done
    l1=$(cpu_ticks "$DEMO_PID") && lw1=$(now_ns)
    sim release >/dev/null
    figure "CPU held at $RATE reports/s, hidden, $long_minutes min" "$(awk -v t=$((l1 - l0)) -v hz="$HZ" -v w=$((lw1 - lw0)) \
        'BEGIN { printf "%.3f %%", 100 * t / hz / (w / 1e9) }')"
    figure "resident every 30 s over $long_minutes min at $RATE reports/s (kB)" "${samples[*]}"
    figure "resident after $long_minutes min at $RATE reports/s" "${samples[-1]} kB (peak VmHWM $(hwm_kb "$DEMO_PID") kB)"
fi

figure "total CPU time of the run" "$(awk -v t="$(cpu_ticks "$DEMO_PID")" -v hz="$HZ" 'BEGIN { printf "%.2f s", t / hz }')"
demo_quit
e2e_log "done"
