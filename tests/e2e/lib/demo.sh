# Shared by the scripts that drive drevonix-demo: its control socket through
# drevonix-demo-ctl, and its windows through xdotool. Source desktop.sh first.
#
#   demo_need                 skips unless the demo and its client are built
#   demo_start                starts the demo (its own copy, so its own Control.ini) and
#                             waits for its socket; DEMO_PID, DEMO_BIN, DEMO_INI
#   demo_quit                 "quit" through the socket; waits for the end, checks status 0
#   sim CMD...                one answer line per command; fails on an error answer
#   sim_do CMD...             the same, and the script fails unless every answer is "ok"
#   pressed_out SECS          until the key mapper has counted the last press out: the
#                             next report is the first of a new press
#   sim_get NAME              the value of "get NAME", without the "ok"
#   sim_block                 the emulator's stored block, 26 hex bytes
#   wait_get NAME VALUE SECS  until "get NAME" gives VALUE
#   expect_get NAME VALUE     fails unless "get NAME" gives VALUE now
#   show_main                 a left click on the tray icon; MAIN is the main window
#   click W X Y               a left click at X, Y of window W
#   choose_tab N              clicks tab N of the main window and checks it is selected
#   learn_row5                teaches row 05 the wheel code 700 and the key X

DEMO_CTL=$(dirname "${DREVONIX_DEMO_EXE:-/nonexistent/x}")/drevonix-demo-ctl
PRODUCT_NAME="Power Controller Emulator"

demo_need() {
    [ -x "${DREVONIX_DEMO_EXE:-}" ] || skip "drevonix-demo is not built"
    [ -x "$DEMO_CTL" ] || skip "drevonix-demo-ctl is not built"
}

sim() { "$DEMO_CTL" --timeout 60 "$@"; }
sim_do() {
    local a
    a=$(sim "$@") || fail "the demo refused \"$*\": $a"
}
# More than a second without reports ends a press; the mapper notices on its next tick.
pressed_out() { wait_get ReportCount 0 "$1"; }
sim_get() {
    local a
    a=$(sim "get $1") || return 1
    a=${a#ok}
    printf '%s\n' "${a# }"
}
sim_block() {
    local a
    a=$(sim block) || return 1
    printf '%s\n' "${a#ok }"
}
sim_block_is() { [ "$(sim_block)" = "$1" ]; }
sim_get_is() { [ "$(sim_get "$1")" = "$2" ]; }
wait_get() { wait_for "$1 to read \"$2\"" "$3" sim_get_is "$1" "$2"; }
expect_get() {
    local got
    got=$(sim_get "$1")
    [ "$got" = "$2" ] || fail "$1 reads \"$got\", expected \"$2\""
}

demo_start() {
    [ -n "${DEMO_BIN:-}" ] || DEMO_BIN=$(private_copy "$DREVONIX_DEMO_EXE")
    DEMO_CLASS=$(basename "$DEMO_BIN")
    DEMO_INI="$(dirname "$DEMO_BIN")/Control.ini"
    export DREVONIX_SIM_SOCKET="$WORK/sim.sock"
    spawn "demo-$(date +%s%N)" "$DEMO_BIN"
    DEMO_PID=$SPAWNED
    wait_for "the control socket" 20 sim "get tab"
    wait_for "the tray icon" 20 demo_icon
}

demo_quit() {
    local rc
    sim quit >/dev/null || fail "quit was refused"
    wait_for "the demo to end after quit" 10 gone "$DEMO_PID"
    wait "$DEMO_PID"
    rc=$?
    [ "$rc" -eq 0 ] || fail "the demo ended with status $rc"
}

# Mapped windows of the demo, by what they are.
demo_icon() { icon_window "$DEMO_CLASS"; }
demo_main() { main_window "$DEMO_CLASS"; }
demo_simulator() {
    local w
    for w in $(visible_windows "$DEMO_CLASS"); do
        case "$(xdotool getwindowname "$w" 2>/dev/null)" in
            "Симулятор контроллера"* | "Controller simulator"*) echo "$w"; return 0 ;;
        esac
    done
    return 1
}

click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}

show_main() {
    local icon
    icon=$(demo_icon) || fail "no tray icon"
    xdotool mousemove --window "$icon" 11 15 click 1
    wait_get window.visible 1 5
    wait_for "the main window on the screen" 5 demo_main
    MAIN=$(demo_main)
    sleep 0.5
}

# Tab centres in the main window's client area, from the layout's font at 96 dpi; the
# selection is checked, so a change of font shows up as a clear failure here.
TAB_X=(45 126 196 261)
choose_tab() {
    click "$MAIN" "${TAB_X[$1]}" 12
    wait_get tab "$1" 3
}

# Controls by their layout geometry: page origin 4, 24; centres.
JCODE05=(32 153)
SMB05=(144 153)
EACC=(448 37)
WRITE_BUTTON=(289 420)

learn_row5() {
    choose_tab 2
    click "$MAIN" "${JCODE05[@]}"
    sim "hold 700" >/dev/null || fail "hold refused"
    wait_get jcode05 700 3
    sim_do release
    click "$MAIN" "${SMB05[@]}"
    xdotool key x
    wait_get smb05 X 3
    expect_get val05 88
}
