# Shared by the end-to-end scripts: a private virtual desktop per test, and helpers to
# wait for windows. Source it, then call desktop_start. Everything it starts is stopped
# by PID when the script exits.
#
#   work_start                  a private folder WORK with HOME, XDG_RUNTIME_DIR and
#                               XDG_CONFIG_HOME in it, removed at exit (for tests without X)
#   desktop_start [--no-tray]   work_start, then Xvfb on a free display, openbox, trayer
#                               (unless --no-tray); sets DISPLAY
#   start_tray                  starts trayer (for tests that bring it up late)
#   spawn NAME CMD...           runs CMD in the background, remembered for the cleanup;
#                               its PID is in $SPAWNED
#   wait_for DESC SECONDS CMD…  retries CMD every 0.1 s until it succeeds or time is up
#   shot NAME                   saves a screenshot as $E2E_SHOTS/NAME.png (default $WORK)
#   alive PID, gone PID         whether that process still runs, has ended
#   icon_window CLASS           prints the program's tray icon: its small mapped window
#   main_window CLASS           prints its main window: large, titled $MAIN_TITLE, no dialog
#   dialog_window CLASS TITLE   prints its dialog box with that caption
#   window_colours WINDOW       prints how many colours the window shows (1: blank)

set -u

E2E_PIDS=()
E2E_SKIP=77
MAIN_TITLE="Drevonix v2.2"

e2e_log() { printf '[%s] %s\n' "$(date +%H:%M:%S.%N | cut -c1-12)" "$*"; }
fail() { e2e_log "FAIL: $*"; exit 1; }
skip() { e2e_log "SKIP: $*"; exit "$E2E_SKIP"; }

need_tools() {
    local t
    for t in "$@"; do command -v "$t" >/dev/null 2>&1 || skip "$t is not installed"; done
}

e2e_cleanup() {
    local rc=$? i pid n
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[$i]}
        kill -TERM "$pid" 2>/dev/null || continue
        for ((n = 0; n < 30; n++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        # (A caller may run under set -e: a process already gone is no failure.)
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ "$rc" -eq 0 ] && [ -z "${E2E_KEEP:-}" ]; then rm -rf "$WORK"; else e2e_log "files kept in $WORK"; fi
    exit "$rc"
}

spawn() {
    local name=$1
    shift
    "$@" >"$WORK/$name.log" 2>&1 &
    SPAWNED=$!
    E2E_PIDS+=("$SPAWNED")
}

wait_for() {
    local desc=$1 secs=$2 n
    shift 2
    for ((n = 0; n < secs * 10; n++)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    fail "timed out after ${secs}s waiting for $desc"
}

start_tray() {
    spawn trayer trayer --edge top --align right --widthtype pixel --width 120 \
        --heighttype pixel --height 32 --SetDockType true --SetPartialStrut true \
        --transparent false
    TRAYER_PID=$SPAWNED
    wait_for "the tray host" 10 tray_owned
}

# xprop exits with 0 also when the property is missing: look for its value.
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# The tray host owns the selection _NET_SYSTEM_TRAY_S0 once it is ready.
tray_owned() {
    wm_running || return 1
    xdotool search --classname trayer >/dev/null 2>&1
}

work_start() {
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/drevonix-e2e.XXXXXX")
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
    export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_RUNTIME_DIR="$WORK/run"
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
    export LANG=C.UTF-8
    # The program's own Russian unless a test asks for a language.
    unset LANGUAGE LC_ALL LC_MESSAGES DREVONIX_LANG
}

desktop_start() {
    local tray=1
    [ "${1:-}" = "--no-tray" ] && tray=0
    need_tools Xvfb openbox xdotool xprop xdpyinfo xwininfo import
    [ "$tray" -eq 1 ] && need_tools trayer
    work_start

    # Xvfb picks a free display itself and tells us which on fd 3.
    # -noreset: by default the server starts over whenever its last client leaves, and a
    # client connecting meanwhile (openbox right after xdpyinfo) is turned away.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    E2E_PIDS+=("$!")
    wait_for "Xvfb" 10 test -s "$WORK/display"
    export DISPLAY=":$(head -n1 "$WORK/display")"
    wait_for "the X server" 10 xdpyinfo
    e2e_log "display $DISPLAY, files in $WORK"

    spawn openbox openbox
    wait_for "openbox" 10 wm_running
    [ "$tray" -eq 1 ] && start_tray
    return 0
}

shot() {
    local dir=${E2E_SHOTS:-$WORK}
    mkdir -p "$dir"
    import -window root "$dir/$1.png" && e2e_log "screenshot $dir/$1.png"
}

# Windows of a program's class that are mapped and viewable.
visible_windows() { xdotool search --onlyvisible --classname "$1" 2>/dev/null; }

# Puts a copy of a program into its own folder under $WORK, so that its Control.ini (kept
# beside the executable) is this test's own. Prints the copy's path.
private_copy() {
    local exe=$1 dir=$WORK/bin
    mkdir -p "$dir"
    cp "$exe" "$dir/" || fail "cannot copy $exe"
    printf '%s\n' "$dir/$(basename "$exe")"
}

# Geometry of a window as "X Y W H" (root coordinates).
window_geometry() {
    local x y w h
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)" || return 1
    x=$X y=$Y w=$WIDTH h=$HEIGHT
    printf '%s %s %s %s\n' "$x" "$y" "$w" "$h"
}

# Whether the window manager leaves the window alone: popup menus and tooltips.
override_redirect() {
    xwininfo -id "$1" 2>/dev/null | grep -q 'Override Redirect State: yes'
}

alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! alive "$1"; }

# The windows of a program (by its executable's name, the X class instance): the icon
# docked in the tray is the small one; the main window is the large one with the
# application title (the demo's simulator window and the error boxes are not).
icon_window() {
    local w g
    for w in $(visible_windows "$1"); do
        g=($(window_geometry "$w")) || continue
        [ "${g[2]}" -le 64 ] && [ "${g[3]}" -le 64 ] && { echo "$w"; return 0; }
    done
    return 1
}
is_dialog() { xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG; }
main_window() {
    local w g
    for w in $(visible_windows "$1"); do
        [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$MAIN_TITLE" ] || continue
        g=($(window_geometry "$w")) || continue
        [ "${g[2]}" -ge 400 ] && ! is_dialog "$w" && { echo "$w"; return 0; }
    done
    return 1
}
dialog_window() {
    local w
    for w in $(visible_windows "$1"); do
        [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$2" ] && is_dialog "$w" && { echo "$w"; return 0; }
    done
    return 1
}

# A tray icon whose picture could not be loaded (no SVG plugin) is one flat colour.
window_colours() { import -window "$1" png:- 2>/dev/null | convert png:- -format %k info: 2>/dev/null; }

# Counts "[Section]" headers and "key=value" lines of an INI file (CR LF line ends).
ini_sections() { tr -d '\r' <"$1" | grep -c '^\[.*\]$'; }
ini_values() { tr -d '\r' <"$1" | grep -c '^[^[;].*='; }
