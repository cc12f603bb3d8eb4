#!/usr/bin/env bash
# verdict.sh RESULTS NAME: one check's verdict from the lane's boot, as this test's result
# (0 pass, 77 skip, 1 fail), with the check's output when it did not pass.
results=$1 name=$2
if [ -e "$results/skipped" ]; then
    echo "SKIP: the kernel lane did not run: $(cat "$results/skipped")"
    exit 77
fi
if [ ! -e "$results/results/$name" ]; then
    echo "no verdict for $name: the check that gives it ended early or never ran (see $results/console.log)"
    exit 1
fi
verdict=$(head -n1 "$results/results/$name")
echo "$name: $verdict"
case $verdict in
    pass) exit 0 ;;
    skip*) echo "SKIP: ${verdict#skip: }"; exit 77 ;;
esac
log=$results/logs/$name.log
[ -e "$log" ] && { echo "--- $log"; tail -n 40 "$log"; }
exit 1
