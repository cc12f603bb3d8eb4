#!/bin/bash
# drevonix-cli on the kernel's own hidraw node: what it prints, and the exact bytes that
# reach the controller's side of the wire (the kernel drops the report number).
. "$KERNEL_LIB/guest.sh"
guest_work_start
controller_start

BLOCK="03 1f 02 14 1e 28 3c 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01 00"
WATCH="acc=13.81 atx=12.10 temp=25.2"

# cli_case NAME STATUS STDOUT STDERR ARGS...
cli_case() {
    local name=$1 rc=$2 out=$3 err=$4 got status
    shift 4
    got=$(timeout 20 "$CLI" "$@" 2>"$WORK/$name.err")
    status=$?
    [ "$status" = "$rc" ] || fail "$name: status $status, expected $rc (stderr: $(cat "$WORK/$name.err"))"
    [ "$got" = "$out" ] || fail "$name: printed \"$got\", expected \"$out\""
    [ "$(cat "$WORK/$name.err")" = "$err" ] || fail "$name: said \"$(cat "$WORK/$name.err")\", expected \"$err\""
    e2e_log "$name: ok"
}

cli_case status 0 "connected Drevonix USB Power Controller" "" status
cli_case read 0 "$(printf '%s\n' eACC=12.00 eTRM=0 eN1=30 eN2=40 eN3=60 eN4=20 eN5=5 \
    eMB_SW_P=1000 eMB_SW_D=500 eMNT_SW_P=1000 eMNT_SW_D=500 eMNT_SRS_P1=1000 eMNT_SRS_P2=500 \
    eMNT_SRS_D=500 eMNT_SRS_X=2 eMNT_SRS_Y=1 ignoreT=0)" "" read
[ "$(outs 1)" = 1 ] || fail "read: $(outs 1) read commands reached the controller, expected 1"
cli_case raw 0 "$BLOCK" "" read --raw

# The block goes out whole: 64 bytes at the gadget, the command first, zeros after it.
WRITTEN="03 1f 02 14 1e 28 5a 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01 01"
cli_case write 0 "" "" write eN3=90 ignoreT=1
wire=$(awk '$2 == "out" && $4 == "02" { $1 = $2 = ""; print substr($0, 3) }' "$CLOG")
[ "$wire" = "64 02 $WRITTEN$(printf ' 00%.0s' $(seq 37))" ] || fail "write: on the wire: $wire"

t=$(clog_now)
cli_case watch 0 "$(printf '%s\n' "$WATCH" "$WATCH")" "" watch --count 2
[ "$(outs 3 "$t")" = 2 ] || fail "watch: $(outs 3 "$t") telemetry requests reached the controller, expected 2"

# Presses go out once the program has the node open: reports sent before are lost.
"$CLI" buttons --count 2 >"$WORK/buttons.out" 2>"$WORK/buttons.err" &
pid=$!
E2E_PIDS+=("$pid")
has_node_open() { ls -l "/proc/$1/fd" 2>/dev/null | grep -q hidraw; }
wait_for "buttons to open the node" 20 has_node_open "$pid"
controller press 700 5
wait_for "the first press" 10 grep -q code=700 "$WORK/buttons.out"
sleep 1.3
controller press 1000 3
for ((n = 0; n < 100; n++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
wait "$pid"
rc=$?
[ "$rc" = 0 ] && [ "$(cat "$WORK/buttons.out")" = "$(printf 'code=700\ncode=1000')" ] ||
    fail "buttons: status $rc, printed \"$(cat "$WORK/buttons.out")\", said \"$(cat "$WORK/buttons.err")\""
grep -q '^[0-9]* in 64 04 bc 02 ' "$CLOG" || fail "buttons: the gadget sent no 64-byte report of code 700"
e2e_log "buttons: ok"
e2e_log PASS
