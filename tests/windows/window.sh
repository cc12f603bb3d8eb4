#!/usr/bin/env bash
# The window under Windows' own platform plugin: a second start brings the first one's
# window up and ends; each page on the screen.
. "$DREVONIX_E2E_LIB/desktop.sh"
. "$(dirname "$0")/lib.sh"
desktop_start
wine_start

demo=$(app_copy drevonix-demo)
demo_start "$demo"
expect_visible() { sim_get_is window.visible "$1" || fail "window.visible is not $1"; }
expect_visible 0
# A program without a console says nothing where a shell could read it: what counts is
# that it ends, and that the first one shows its window.
DREVONIX_SIM_SOCKET= win "$demo" >"$WORK/second.out" 2>&1 || fail "the second start ended with status $?"
wait_for "the first one's window" 30 sim_get_is window.visible 1
alive "$DEMO_PID" || fail "the first demo ended"
main=$(xdotool search --onlyvisible --name '^Drevonix v2.2$' | head -n1)
[ -n "$main" ] || fail "no main window on the screen"
sleep 2
# A click can fall on a window still busy with the last page: clicked again until it takes.
x=(45 126 196)
tab_clicked() {
    xdotool mousemove --window "$main" "${x[$1]}" 12 click 1
    sleep 0.5
    sim_get_is tab "$1"
}
for tab in 0 1 2; do
    wait_for "tab $tab" 30 tab_clicked "$tab"
    sleep 1
    shot "page-$tab"
done
demo_quit
e2e_log PASS
