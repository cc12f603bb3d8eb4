# Shared by the scripts that run the Windows programs under wine. Source it after
# desktop.sh (the e2e's own: WORK, spawn, wait_for, fail, shot ...).
#
#   wine_start            wine with the desktop tests' own prefix, its %APPDATA%\drevonix
#                         emptied; everything wine runs is ended at exit
#   win PROGRAM ARGS...   runs a program of the build under wine, in the foreground
#   win_spawn NAME PROGRAM ARGS...  the same in the background ($SPAWNED)
#   app_copy PROGRAM      copies PROGRAM.exe into WORK/app (its Control.ini is then its own)
#   ini_get FILE SECTION KEY   the value's bytes (hex) as GetPrivateProfileStringA reads them
#   ini_set FILE SECTION KEY HEX   those bytes written with WritePrivateProfileStringA
#   hex TEXT              TEXT's bytes in cp1251, in hex
: "${WINE_RUN:?}" "${DREVONIX_WINDOWS_BIN:?}" "${DREVONIX_WINEPREFIX:?}"
export WINEDEBUG=-all

wine_start() {
    need_tools wine wineserver
    # One prefix for these tests, apart from the unit tests' (they may run meanwhile): a
    # prefix is 700 MB, too much to copy per test, so the tests take turns on it (CTest's
    # RESOURCE_LOCK) and each ends its own wineserver, and with it everything it started.
    export WINEPREFIX=$DREVONIX_WINEPREFIX-desktop
    "$WINE_RUN" cmd.exe /c exit >/dev/null 2>&1 || fail "wine does not start"
    trap 'r=$?; wineserver -k 2>/dev/null; (exit $r); e2e_cleanup' EXIT
    APPDATA_DIR=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming
    # wine's Windows speaks the Unix locale's language (English for C.UTF-8); the clicks
    # below are placed on the Russian captions.
    export DREVONIX_LANG=ru
    rm -rf "$APPDATA_DIR/drevonix"
}

exe() {
    case "$1" in
        */*) printf '%s\n' "$1" ;;
        *) printf '%s\n' "$DREVONIX_WINDOWS_BIN/$1.exe" ;;
    esac
}
win() {
    local p
    p=$(exe "$1")
    shift
    "$WINE_RUN" "$p" "$@"
}
win_spawn() {
    local name=$1 p
    p=$(exe "$2")
    shift 2
    spawn "$name" "$WINE_RUN" "$p" "$@"
}

app_copy() {
    mkdir -p "$WORK/app"
    cp "$DREVONIX_WINDOWS_BIN/$1.exe" "$WORK/app/" || fail "no $1.exe"
    printf '%s\n' "$WORK/app/$1.exe"
}

ini_get() { win "$DREVONIX_WINDOWS_BIN/profile.exe" get "$(winepath -w "$1")" "$2" "$3" | tr -d '\r'; }
ini_set() { win "$DREVONIX_WINDOWS_BIN/profile.exe" set "$(winepath -w "$1")" "$2" "$3" "$4"; }
hex() { printf '%s' "$1" | iconv -f utf-8 -t cp1251 | od -An -tx1 | tr -d ' \n'; }

# The demo through its control socket (drevonix-demo-ctl.exe): demo_start EXE starts it
# and waits for the socket (DEMO_PID); sim CMD... answers; demo_quit ends it, status 0.
demo_start() {
    export DREVONIX_SIM_SOCKET=drevonix-sim-$$-$RANDOM
    win_spawn "demo-$RANDOM" "$1"
    DEMO_PID=$SPAWNED
    wait_for "the demo's control socket" 60 sim "get tab"
}
sim() {
    local out
    out=$(win drevonix-demo-ctl --timeout 30 "$@") || return
    printf '%s\n' "${out//$'\r'/}"
}
sim_do() { [ "$(sim "$@")" = ok ] || fail "the demo refused \"$*\""; }
sim_get_is() { [ "$(sim "get $1")" = "ok $2" ]; }
demo_quit() {
    sim quit >/dev/null || fail "quit was refused"
    wait_for "the demo to end" 20 gone "$DEMO_PID"
    wait "$DEMO_PID" || fail "the demo ended with status $?"
}
