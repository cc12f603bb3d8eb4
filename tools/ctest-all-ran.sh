#!/usr/bin/env bash
# Runs ctest with the arguments given and fails when a test was skipped: a skip means that
# something the tests need is missing (tools/install-deps.sh test installs all of it), and
# a run that left tests out is no pass.
#
#   tools/ctest-all-ran.sh --test-dir build -j2 ...
set -uo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ctest "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
# ctest lists them at the end: "The following tests did not run:" then "  12 - name (Skipped)".
skipped=$(grep -E '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$log" | sed -E 's/^[[:space:]]*[0-9]+ - //')
if [ -n "$skipped" ]; then
    echo "ctest-all-ran.sh: these tests were skipped; their output says what is missing" \
        "(ctest --test-dir ... -R NAME --verbose):" >&2
    sed 's/^/  /' <<<"$skipped" >&2
    [ "$status" -ne 0 ] || status=1
fi
exit "$status"
