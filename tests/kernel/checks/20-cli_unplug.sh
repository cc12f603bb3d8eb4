#!/bin/bash
# A real unplug (the gadget unbound) while drevonix-cli watches, waits for a block, and
# waits for wheel buttons: each ends with status 1 and "unplugged", never a hang.
. "$KERNEL_LIB/guest.sh"
guest_work_start
controller_start --mute 1

# unplug_during NAME UNPLUG-ON ARGS...: runs the CLI; the controller's side unplugs as
# soon as command UNPLUG-ON arrives, or, given "-", once the CLI has the node open.
unplug_during() {
    local name=$1 on=$2 pid rc n
    shift 2
    plugged || plug || fail "$name: the controller did not come back"
    [ "$on" = - ] || controller unplug-on "$on"
    "$CLI" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
    pid=$!
    E2E_PIDS+=("$pid")
    if [ "$on" = - ]; then
        wait_for "$name to open the node" 30 has_node_open "$pid"
        unplug || fail "$name: the node stayed after the unplug"
    fi
    wait_for "$name's unplug" 30 node_absent
    for ((n = 0; n < 100; n++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "$name: still running 10 s after the unplug"
    wait "$pid"
    rc=$?
    [ "$rc" = 1 ] && [ "$(cat "$WORK/$name.err")" = "drevonix-cli: the controller was unplugged" ] ||
        fail "$name: status $rc, said \"$(cat "$WORK/$name.err")\""
    e2e_log "$name: ok"
}
has_node_open() { ls -l "/proc/$1/fd" 2>/dev/null | grep -q hidraw; }

unplug_during watch 3 watch
# The controller stays silent on command 1: read waits for its block when unplugged.
unplug_during read 1 read
unplug_during buttons - buttons
e2e_log PASS
