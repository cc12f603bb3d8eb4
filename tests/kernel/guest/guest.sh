# What the checks share: source it first in a check. It brings the end-to-end tests'
# helpers (tests/e2e/lib/desktop.sh: work_start, desktop_start, spawn, wait_for, fail,
# skip, e2e_log), the gadget's plug, unplug and hidraw_node, and the controller's side:
#
#   controller_start [OPTIONS]   kernel_controller on /dev/hidg0 (options: --mute CMD,
#                                --rate N); its log in $CLOG, its PID in $CONTROLLER_PID
#   controller ACTION            press CODE COUNT, hold CODE, release, mute CMD,
#                                unplug-on CMD (see tests/kernel/kernel_controller.cpp)
#   outs CMD [FROM]              reports with command CMD that reached the gadget, logged
#                                at or after FROM ms of the controller's clock
#   clog_now                     the controller's clock now (ms)
#   verdict NAME pass|"fail: why"|"skip: why"   a verdict of its own for a second check
#   guest_work_start / guest_desktop_start   work_start / desktop_start whose files are
#                                copied to $LANE/logs/CHECK/ when the check ends
. "$SRC/tests/e2e/lib/desktop.sh"
. "$KERNEL_LIB/gadget.sh"

export DREVONIX_E2E_LIB=$SRC/tests/e2e/lib
CLI=$DREVONIX_CLI_EXE

# The check's files outlive the guest's tmpfs: copied next to its log.
keep_files() {
    local dest
    # A check may say more when it fails (on_failure, where it defines one).
    [ "${rc:-0}" = 0 ] || ! declare -F on_failure >/dev/null || on_failure
    dest=$LANE/logs/$(basename "$0" .sh | sed 's/^[0-9][0-9]-//')
    mkdir -p "$dest" && find "$WORK" -maxdepth 1 -type f \( -name '*.log' -o -name '*.out' -o -name '*.err' -o -name '*.ini' \) -exec cp {} "$dest/" \;
}
guest_work_start() {
    work_start
    trap 'rc=$?; keep_files; (exit $rc); e2e_cleanup' EXIT
}
guest_desktop_start() {
    desktop_start "$@"
    trap 'rc=$?; keep_files; (exit $rc); e2e_cleanup' EXIT
}

controller_start() {
    CLOG=$WORK/controller.log
    CFIFO=$WORK/controller.fifo
    spawn controller "$KERNEL_CONTROLLER_EXE" --log "$CLOG" --control "$CFIFO" \
        --udc "$GADGET/UDC" "$@"
    CONTROLLER_PID=$SPAWNED
    wait_for "the controller's side" 20 grep -q ' ready$' "$CLOG"
}
controller() { echo "$*" >"$CFIFO"; }
# The controller's clock, asked for: ours runs apart from it by however slow the guest is.
clog_now() {
    local n
    n=$(grep -c ' do mark$' "$CLOG")
    controller mark
    wait_until 10 eval '[ "$(grep -c " do mark\$" "$CLOG")" -gt '"$n"' ]'
    awk '$2 == "do" && $3 == "mark" { t = $1 } END { print t }' "$CLOG"
}
# controller_plug / controller_unplug: done by the controller's side, so that its log has
# the moment ("MS plugged", "MS unplugged"); then the node is there, or gone.
controller_plug() {
    local n
    n=$(grep -c ' plugged$' "$CLOG")
    controller plug
    wait_until 10 eval '[ "$(grep -c " plugged\$" "$CLOG")" -gt '"$n"' ]' && wait_until 10 node_present
}
controller_unplug() {
    local n
    n=$(grep -c ' unplugged$' "$CLOG")
    controller unplug
    wait_until 10 eval '[ "$(grep -c " unplugged\$" "$CLOG")" -gt '"$n"' ]' && wait_until 10 node_absent
}
log_time() { awk -v w="$1" '$2 == w { t = $1 } END { print t }' "$CLOG"; }
outs() {
    awk -v cmd="$(printf '%02x' "$1")" -v from="${2:-0}" \
        '$2 == "out" && $4 == cmd && $1 >= from { n++ } END { print n + 0 }' "$CLOG"
}
verdict() { printf '%s\n' "$2" >"$LANE/results/$1"; }

# drevonix_replug [--keys]: drevonix on a desktop with its window in the tray. One
# telemetry request a second while the controller is plugged in, none while it is
# unplugged, and again after it is plugged in again. With --keys, a wheel press after
# that must come out of the program's uinput keyboard as the key of row 01 (X); its
# verdict is "uinput_keys".
drevonix_replug() {
    local exe ini t0 t1 t2 t3
    guest_desktop_start
    exe=$(private_copy "$DREVONIX_EXE")
    ini="$(dirname "$exe")/Control.ini"
    printf '[Key 01]\r\nJ.Code=700\r\nValue=88\r\nSymbol=X\r\n' >"$ini"
    controller_start
    spawn drevonix "$exe"
    requests_from() { [ "$(outs 3 "$1")" -ge 1 ]; }
    first_request_from() {
        awk -v from="$1" '$2 == "out" && $4 == "03" && $1 >= from { print $1; exit }' "$CLOG"
    }
    # once_a_second FROM WHEN: requests in the 2.5 s from FROM (ticks at +0..1, +1, +2 s).
    once_a_second() {
        local n
        sleep_until $(($1 + 2600))
        n=$(awk -v from="$1" '$2 == "out" && $4 == "03" && $1 >= from && $1 < from + 2500 { n++ }
            END { print n + 0 }' "$CLOG")
        [ "$n" -ge 2 ] && [ "$n" -le 3 ] || fail "$n telemetry requests in 2.5 s $2, expected 2 or 3"
    }
    sleep_until() {
        local ms=$(($1 - $(clog_now)))
        [ "$ms" -gt 0 ] && sleep "$(awk -v ms="$ms" 'BEGIN { print ms / 1000 }')"
        return 0
    }

    wait_for "the first telemetry request" 60 requests_from 0
    t0=$(first_request_from 0)
    e2e_log "first request at $t0 ms"
    # Counted from the second one on: the start-up's own load may bunch the first ticks.
    wait_for "the second telemetry request" 10 requests_from $((t0 + 1))
    once_a_second "$(first_request_from $((t0 + 1)))" "while plugged"

    controller_unplug || fail "the node stayed after the unplug"
    t1=$(log_time unplugged)
    sleep 1.6
    [ "$(outs 3 "$t1")" -eq 0 ] || fail "$(outs 3 "$t1") telemetry requests while unplugged"
    kill -0 "$SPAWNED" || fail "drevonix ended after the unplug"

    controller_plug || fail "no node after the plug"
    t2=$(log_time plugged)
    wait_for "a telemetry request after the plug" 15 requests_from "$t2"
    t3=$(first_request_from "$t2")
    e2e_log "plugged in again at $t2 ms, first request $((t3 - t2)) ms later"
    echo "replug_ms=$((t3 - t2))" >"$WORK/figures.log"
    wait_for "the second telemetry request after the plug" 10 requests_from $((t3 + 1))
    once_a_second "$(first_request_from $((t3 + 1)))" "after the plug"

    if [ "${1:-}" = --keys ]; then
        ( uinput_press && verdict uinput_keys pass ) ||
            verdict uinput_keys "fail: $(tail -n1 "$WORK/keys.why" 2>/dev/null)"
    fi
    e2e_log PASS
}

# A wheel press of code 700, read back from the program's virtual keyboard: KEY_X (45)
# pressed, then released.
uinput_press() {
    local d event= reader
    for d in /sys/class/input/event*; do
        [ "$(cat "$d/device/name" 2>/dev/null)" = "Drevonix virtual keyboard" ] && event=/dev/input/${d##*/}
    done
    [ -n "$event" ] || { echo "no input device named \"Drevonix virtual keyboard\"" >"$WORK/keys.why"; return 1; }
    timeout 6 cat "$event" >"$WORK/events.bin" &
    reader=$!
    sleep 0.5
    controller press 700 5
    wait "$reader"
    # struct input_event: 16 bytes of time, then type, code (16 bits) and value (32 bits).
    local keys
    keys=$(od -An -v -tu2 -w24 "$WORK/events.bin" | awk '$9 == 1 { printf "%s:%s ", $10, $11 }')
    [ "$keys" = "45:1 45:0 " ] || { echo "key events (code:value): \"$keys\", expected \"45:1 45:0 \"" >"$WORK/keys.why"; return 1; }
}
