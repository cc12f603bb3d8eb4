#!/usr/bin/env bash
# drevonix-cli on a mocked controller: hidapi's hidraw backend, the libudev monitor, the
# reader thread and the 65-byte writes, unchanged, on a hidraw node that the mock serves.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"
. "$DREVONIX_E2E_LIB/mock.sh"

mock_need drevonix-cli
work_start
C=$DREVONIX_CLI_EXE

# The mock's block, as read --raw prints it, and its telemetry as watch prints it.
BLOCK="03 1f 02 14 1e 28 3c 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01 00"
WATCH="acc=13.81 atx=12.10 temp=25.2"

# cli_case NAME STATUS STDOUT STDERR MOCK-OPTIONS... -- PROGRAM ARGS...
cli_case() {
    local name=$1 rc=$2 out=$3 err=$4
    shift 4
    mock_run "$name" "$@"
    [ "$RC" = "$rc" ] || fail "$name: status $RC, expected $rc (stderr: $ERR)"
    [ "$OUT" = "$out" ] || fail "$name: printed \"$OUT\", expected \"$out\""
    [ "$ERR" = "$err" ] || fail "$name: said \"$ERR\" on stderr, expected \"$err\""
    e2e_log "$name: ok"
}
expect_outs() {
    local n
    n=$(outs "$WORK/$1.log" "$2")
    [ "$n" = "$3" ] || fail "$1: $n output reports with command $2, expected $3"
}

cli_case present 0 "connected Drevonix USB Power Controller" "" -- "$C" status
cli_case absent 1 "not connected" "" --absent -- "$C" status
cli_case late 0 "connected Drevonix USB Power Controller" "" --absent --at 500:plug -- "$C" status

cli_case read 0 "$(printf '%s\n' eACC=12.00 eTRM=0 eN1=30 eN2=40 eN3=60 eN4=20 eN5=5 \
    eMB_SW_P=1000 eMB_SW_D=500 eMNT_SW_P=1000 eMNT_SW_D=500 eMNT_SRS_P1=1000 eMNT_SRS_P2=500 \
    eMNT_SRS_D=500 eMNT_SRS_X=2 eMNT_SRS_Y=1 ignoreT=0)" "" -- "$C" read
expect_outs read 1 1

# The block goes out whole in one 65-byte report, and the controller keeps it.
WRITTEN="03 1f 02 14 1e 28 5a 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01 01"
cli_case write 0 "$WRITTEN" "" -- sh -c "'$C' write eN3=90 ignoreT=1 && '$C' read --raw"
wire=$(awk '$2 == "out" && $4 == "02"' "$WORK/write.log" | cut -d' ' -f3-)
[ "$wire" = "00 02 $WRITTEN$(printf ' 00%.0s' $(seq 37))" ] || fail "write: on the wire: $wire"

cli_case watch 0 "$(printf '%s\n' "$WATCH" "$WATCH")" "" -- "$C" watch --count 2
expect_outs watch 3 2

cli_case buttons 0 "$(printf 'code=700\ncode=1000')" "" \
    --at "300:press 700 5" --at "1600:press 1000 3" -- "$C" buttons --count 2

cli_case unanswered 3 "" "drevonix-cli: no measurements from the controller within 1 s" \
    --mute 3 -- "$C" watch
expect_outs unanswered 3 1

# Unplugged while watching: seen by udev (the node stays quiet), or only by the read that
# fails when the node hangs up.
cli_case unplug_udev 1 "$WATCH" "drevonix-cli: the controller was unplugged" \
    --at 500:unplug-udev -- "$C" watch
cli_case unplug_read 1 "$WATCH" "drevonix-cli: the controller was unplugged" \
    --at 500:unplug-silent -- "$C" watch
[ "$(stales "$WORK/unplug_udev.log")" = 0 ] || fail "unplug_udev: written to the removed node"
e2e_log "PASS"
