#!/bin/bash
# Runs the checks of tests/kernel/checks/ (or LANE_CHECK_DIR) in name order (or those named in LANE_CHECKS),
# each in its own bash with a time limit, its output in $LANE/logs/NAME.log and its
# verdict in $LANE/results/NAME. Before each check the controller is plugged in again.
. "$KERNEL_LIB/gadget.sh"
mkdir -p "$LANE/results" "$LANE/logs"
for script in "${LANE_CHECK_DIR:-$SRC/tests/kernel/checks}"/*.sh; do
    file=$(basename "$script" .sh)
    name=${file#[0-9][0-9]-}
    name=${name//-/_}
    if [ -n "$LANE_CHECKS" ] && ! [[ " $LANE_CHECKS " == *" $file "* || " $LANE_CHECKS " == *" $name "* ]]; then
        continue
    fi
    plugged || plug
    started=$(cut -d' ' -f1 /proc/uptime)
    timeout -k 5 "${CHECK_TIMEOUT:-150}" bash "$script" >"$LANE/logs/$name.log" 2>&1 </dev/null
    rc=$?
    if [ ! -e "$LANE/results/$name" ]; then
        why=$(grep -E '(FAIL|SKIP): ' "$LANE/logs/$name.log" | tail -n1 | sed -E 's/.*(FAIL|SKIP): //')
        case $rc in
            0) echo pass ;;
            77) echo "skip: $why" ;;
            124 | 137) echo "fail: still running after ${CHECK_TIMEOUT:-150} s" ;;
            *) echo "fail: ${why:-status $rc}" ;;
        esac >"$LANE/results/$name"
    fi
    echo "kernel-lane: $name: $(head -n1 "$LANE/results/$name") ($(awk -v s="$started" '{ printf "%.1f", $1 - s }' /proc/uptime) s)"
done
touch "$LANE/done"
