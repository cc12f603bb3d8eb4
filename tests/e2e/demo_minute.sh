#!/usr/bin/env bash
# drevonix-demo on a desktop without a tray: the window is shown at start, keeps running
# for a minute, and its charts keep moving all the while.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"

[ -x "${DREVONIX_DEMO_EXE:-}" ] || skip "drevonix-demo is not built"
need_tools compare convert
desktop_start --no-tray
exe=$(private_copy "$DREVONIX_DEMO_EXE")
class=$(basename "$exe")

spawn demo "$exe"
DEMO=$SPAWNED
wait_for "the main window" 20 main_window "$class"
window=$(main_window "$class")
xdotool windowraise "$window"

# The two charts of the indicators page, in client coordinates.
charts() {
    import -window "$window" -crop 481x337+4+96 +repage "$WORK/$1.png" ||
        fail "no screenshot of the charts at $1"
}
rss() { ps -o rss= -p "$DEMO" | tr -d ' '; }

charts t0
rss0=$(rss)
e2e_log "started, ${rss0} kB resident"
for t in 10 20 30 40 50 60; do
    sleep 10
    alive "$DEMO" || fail "the demo ended after less than ${t}s"
    charts "t$t"
    prev="t$((t - 10))"
    # compare prints the count of changed pixels (6 digits, or 1.2e+06) and exits with 0
    # when it is 0, 1 when it is not, 2 on an error, which it prints instead.
    status=0
    changed=$(compare -metric AE "$WORK/$prev.png" "$WORK/t$t.png" null: 2>&1) || status=$?
    [ "$status" -le 1 ] && [[ "$changed" =~ ^[0-9.e+]+$ ]] ||
        fail "cannot compare the charts of ${prev#t}s and ${t}s: $changed"
    [ "$status" -eq 1 ] && [ "$changed" != 0 ] ||
        fail "the charts did not move between ${prev#t}s and ${t}s"
    e2e_log "${t}s: $changed chart pixels changed, $(rss) kB resident"
done
e2e_log "ran for a minute: ${rss0} kB resident at the start, $(rss) kB at the end, $(ps -o time= -p "$DEMO" | tr -d ' ') of CPU"
