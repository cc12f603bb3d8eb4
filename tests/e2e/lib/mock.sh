# Shared by the scripts that run the real programs on the mock controller
# (mock_controller/, on umockdev). Source desktop.sh first.
#
#   mock_need PROGRAM...      skips unless the mock and the programs (DREVONIX_EXE,
#                             DREVONIX_CLI_EXE) are built
#   mock_run NAME ARGS...     runs the mock in the foreground with its log in $WORK/NAME.log;
#                             the program's output in OUT and ERR, its status in RC
#   outs LOG CMD [FROM]       output reports with command CMD in LOG, on the live node,
#                             logged at or after FROM ms
#   stales LOG                output reports written to a node after it was unplugged
#   log_time LOG WORD         the time (ms) of the last line "MS WORD ..." of LOG

MOCK=${MOCK_CONTROLLER_EXE:-}

mock_need() {
    local p var
    [ -x "$MOCK" ] || skip "the mock controller is not built: umockdev-1.0 was not found" \
        "(apt-get install umockdev libumockdev-dev, then run cmake again)"
    for p in "$@"; do
        var=$(printf '%s_EXE' "$p" | tr 'a-z-' 'A-Z_')
        [ -x "${!var:-}" ] || skip "$p is not built"
    done
}

mock_run() {
    local name=$1
    shift
    OUT=$("$MOCK" --timeout 20 --log "$WORK/$name.log" "$@" 2>"$WORK/$name.err")
    RC=$?
    ERR=$(cat "$WORK/$name.err")
}

# "MS out 00 03 ..." — byte 1 is the command.
outs() {
    awk -v cmd="$(printf '%02x' "$2")" -v from="${3:-0}" \
        '$2 == "out" && $4 == cmd && $1 >= from { n++ } END { print n + 0 }' "$1"
}
stales() { awk '$2 == "stale" { n++ } END { print n + 0 }' "$1"; }
log_time() { awk -v w="$2" '$2 == w { t = $1 } END { print t }' "$1"; }
