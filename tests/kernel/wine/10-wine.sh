#!/bin/bash
# The Windows programs under wine on the gadget: hidapi's Windows code over winebus's
# hidraw bus. One wine for all (its start takes minutes under TCG), one verdict per part:
#   wine           wine starts in the prefix made on the host and lists the controller
#   wine_cli       drevonix-cli.exe and the Linux CLI: the same words and status for status,
#                  read and read --raw, the same bytes on the wire for write; watch
#   wine_unplug    a real unplug ends watch with the unplug's status and words
#   wine_drevonix  drevonix.exe asks for telemetry once a second and shows its window; a
#                  press held at the gadget types into another program through keybd_event,
#                  once, then at reports 201, 301, 401 ...; its status bar follows an unplug
#                  and a plug, told by Windows
. "$KERNEL_LIB/guest.sh"
guest_desktop_start
controller_start
NODE=$(hidraw_node)
# The prefix in the guest's memory: on a 9p share every program start takes minutes.
export WINEPREFIX=/tmp/wineprefix WINEDEBUG=-all
cp -a "$WINE_TEMPLATE" "$WINEPREFIX"
WINE_RUN=$WINDOWS_BUILD/wine-run
WBIN=$WINDOWS_BUILD/bin
# part NAME FUNCTION: a verdict of its own, the part's output in this log; what the part
# started is ended with it.
part() {
    local started=$SECONDS n=${#E2E_PIDS[@]}
    if (
        trap 'for p in "${E2E_PIDS[@]:n}"; do kill "$p" 2>/dev/null; done' EXIT
        "$2"
    ) >"$WORK/$1.log" 2>&1; then verdict "$1" pass; else
        verdict "$1" "fail: $(sed -n 's/.*FAIL: //p' "$WORK/$1.log" | tail -n1)"; fi
    e2e_log "$1: $(cat "$LANE/results/$1") ($((SECONDS - started)) s)"
    cat "$WORK/$1.log"
}
wcli() {
    timeout 120 "$WINE_RUN" "$WBIN/drevonix-cli.exe" "$@" >"$WORK/wcli.out" 2>"$WORK/wcli.err"
    local rc=$?
    tr -d '\r' <"$WORK/wcli.out"
    tr -d '\r' <"$WORK/wcli.err" >&2
    return "$rc"
}

wine_start() {
    # udevd, as a desktop has it: winebus hears of plugs from udevd.
    mkdir -p /run/udev/rules.d /run/lane-bin
    ln -sf "$UDEVDIR/bin/udevadm" /run/lane-bin/systemd-udevd
    /run/lane-bin/systemd-udevd --daemon && wait_until 10 test -S /run/udev/control || fail "no udevd"
    wineserver -p
    timeout 300 "$WINE_RUN" cmd /c exit || fail "wine does not start"
    connected() { [[ "$(wcli status 2>/dev/null)" == "connected "* ]]; }
    wait_until 240 connected && return 0
    # What wine's HID stack says, from a start of its own.
    wineserver -k
    timeout 60 wineserver -w
    WINEDEBUG=+hid,+plugplay,+hidraw,+setupapi wcli status >"$WORK/winedebug.log" 2>&1
    fail "drevonix-cli.exe does not find the controller: \"$(wcli status 2>&1)\" (wine's trace: winedebug.log)"
}

cli() {
    local name lin win lrc wrc
    # same NAME ARGS...: both CLIs give the same status, output and error output.
    same() {
        name=$1
        shift
        lin=$(timeout 20 "$CLI" "$@" 2>"$WORK/$name-linux.err")
        lrc=$?
        win=$(wcli "$@" 2>"$WORK/$name-wine.err")
        wrc=$?
        [ "$wrc" = "$lrc" ] && [ "$win" = "$lin" ] && cmp -s "$WORK/$name-linux.err" "$WORK/$name-wine.err" ||
            fail "$name: wine: status $wrc, \"$win\" ($(cat "$WORK/$name-wine.err")); Linux: status $lrc, \"$lin\" ($(cat "$WORK/$name-linux.err"))"
        e2e_log "$name: status $wrc, \"$win\", as on Linux"
    }
    # wine names a hidraw device by the kernel's HID_NAME (manufacturer, then product);
    # Linux's hidapi and Windows give the USB product string alone.
    win=$(wcli status) && [ "$win" = "connected $(sed -n 's/^HID_NAME=//p' "/sys/class/hidraw/${NODE##*/}/device/uevent")" ] ||
        fail "status: $win ($(cat "$WORK/wcli.err"))"
    same read read
    same raw read --raw
    same write write eN3=90 ignoreT=1
    # The block's report from each, at the gadget (without the report number).
    awk '$2 == "out" && $4 == "02" { $1 = $2 = ""; print substr($0, 3) }' "$CLOG" >"$WORK/wire.log"
    [ "$(wc -l <"$WORK/wire.log")" = 2 ] && [ "$(sed -n 1p "$WORK/wire.log")" = "$(sed -n 2p "$WORK/wire.log")" ] ||
        fail "write: on the wire, Linux's first: $(cat "$WORK/wire.log")"
    e2e_log "write: both put on the wire: $(head -n1 "$WORK/wire.log")"
    local t watch="acc=13.81 atx=12.10 temp=25.2"
    t=$(clog_now)
    win=$(wcli watch --count 3) || fail "watch: status $?"
    [ "$win" = "$(printf '%s\n' "$watch" "$watch" "$watch")" ] || fail "watch printed \"$win\""
    [ "$(outs 3 "$t")" = 3 ] || fail "watch: $(outs 3 "$t") telemetry requests, expected 3"
}

unplug_watch() {
    "$WINE_RUN" "$WBIN/drevonix-cli.exe" watch >"$WORK/watch.out" 2>"$WORK/watch.err" &
    local pid=$! rc
    E2E_PIDS+=("$pid")
    # Unplugged just after an answer: wine (slow to see a removal under TCG) has the time
    # to the next request, not only the CLI's second for an answer.
    wait_until 180 grep -q acc= "$WORK/watch.out" || fail "watch printed nothing"
    controller_unplug || fail "the node stayed after the unplug"
    wait_until 60 eval '! kill -0 '"$pid" || fail "watch still runs 60 s after the unplug"
    wait "$pid"
    rc=$?
    [ "$rc" = 1 ] && [ "$(tr -d '\r' <"$WORK/watch.err")" = "drevonix-cli: the controller was unplugged" ] ||
        fail "watch: status $rc, said \"$(cat "$WORK/watch.err")\" after \"$(cat "$WORK/watch.out")\""
    controller_plug || fail "the controller did not come back"
}

drevonix() {
    local main log t n reports expected taps
    plugged || controller_plug || fail "the controller is not plugged in"
    mkdir -p "$WORK/app"
    cp "$WBIN/drevonix.exe" "$WORK/app/"
    printf '[Key 01]\r\nJ.Code=700\r\nValue=88\r\nSymbol=X\r\n' >"$WORK/app/Control.ini"
    spawn drevonix "$WINE_RUN" "$WORK/app/drevonix.exe"
    t=$(clog_now)
    wait_until 240 eval '[ "$(outs 3 "$t")" -ge 2 ]' || fail "no telemetry requests"
    t=$(clog_now)
    sleep 5.5
    n=$(awk -v from="$t" '$2 == "out" && $4 == "03" && $1 >= from && $1 < from + 5500 { n++ } END { print n + 0 }' "$CLOG")
    [ "$n" -ge 4 ] && [ "$n" -le 6 ] || fail "$n telemetry requests in 5.5 s, expected about 5"
    # A second start brings the first one's window up.
    timeout 200 "$WINE_RUN" "$WORK/app/drevonix.exe"
    wait_for "the window" 60 xdotool search --onlyvisible --name '^Drevonix v2.2$'
    main=$(xdotool search --onlyvisible --name '^Drevonix v2.2$' | head -n1)
    sleep 3
    E2E_SHOTS=$LANE/logs shot wine_drevonix
    [ "$(window_colours "$main")" -gt 8 ] || fail "the window is blank"

    log=$WORK/keys.log
    spawn receiver "$WINE_RUN" "$WBIN/key_receiver.exe" "$(winepath -w "$log")" 300
    wait_until 120 grep -q ready "$log" || fail "no key receiver"
    sleep 2
    t=$(clog_now)
    controller hold 700
    sleep 3.5
    controller release
    sleep 3
    reports=$(awk -v from="$t" '$2 == "in" && $1 >= from && $4 == "04" && $5 == "bc" && $6 == "02" { n++ } END { print n + 0 }' "$CLOG")
    expected=$((reports < 201 ? 1 : 1 + (reports - 101) / 100))
    taps=$(grep -c '^down 88 ' "$log")
    e2e_log "a press of $reports reports typed X $taps times (the rule: $expected)"
    [ "$taps" = "$expected" ] && [ "$(grep -c '^up 88 ' "$log")" = "$taps" ] ||
        fail "$reports reports typed X $taps times, expected $expected: $(tr '\n' ' ' <"$log")"

    # Only Windows' notifications tell the monitor of a plug (it does not poll). The bound is
    # the guest's: wine alone takes 0.5 to 0.8 s under TCG to tell the program.
    local what ms late='' WIDTH HEIGHT
    ! grep -q "gives no device notifications" "$WORK/drevonix.log" || fail "$(head -n1 "$WORK/drevonix.log")"
    eval "$(xdotool getwindowgeometry --shell "$main" | grep -E '^(WIDTH|HEIGHT)=')"
    spawn bar python3 "$(dirname "$0")/bar_changes.py" "$main" "$WIDTH" "$HEIGHT" 20
    wait_until 60 grep -q ' bar$' "$WORK/bar.log" || fail "the status bar cannot be read"
    bar_after() { awk -v w="$1" '$2 == "node" && $3 == w { t = $1; d = "" } $2 == "bar" && t != "" && d == "" { d = $1 - t } END { print d }' "$WORK/bar.log"; }
    for what in off on; do
        sleep 2
        if [ $what = off ]; then controller_unplug; else controller_plug; fi || fail "the node did not turn $what"
        wait_until 10 eval '[ -n "$(bar_after '$what')" ]'
        ms=$(bar_after $what)
        e2e_log "node $what: the status bar changed ${ms:-never}${ms:+ ms later}"
        [ -n "$ms" ] && [ "$ms" -le 2000 ] || late+="node $what: ${ms:-never}${ms:+ ms}; "
    done
    [ -z "$late" ] || fail "the status bar followed late (${late%; }), expected 2000 ms at most"
}

part wine wine_start
if [ "$(cat "$LANE/results/wine")" != pass ]; then
    for v in wine_cli wine_unplug wine_drevonix; do verdict $v "skip: wine did not list the controller"; done
    exit 1
fi
part wine_cli cli
part wine_unplug unplug_watch
part wine_drevonix drevonix
timeout 60 wineserver -k
