#!/usr/bin/env bash
# Fails when a text that the code translates is missing from a .ts file or untranslated
# there, when a .ts file keeps a text the code no longer has, or when lupdate cannot read
# a tr() call (a text it would never offer a translator).
#
#   tools/check-translations.sh LUPDATE SOURCE_LIST TS_FILE...
#
# lupdate runs into a copy of each .ts file; the files themselves are left alone
# (`cmake --build build --target update_translations` updates them).
set -euo pipefail
lupdate=$1 list=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for ts in "$@"; do
    copy=$work/$(basename "$ts")
    cp "$ts" "$copy"
    "$lupdate" -silent -locations none "@$list" -ts "$copy" 2>"$work/lupdate.err" || {
        cat "$work/lupdate.err" >&2
        exit 1
    }
    if [ -s "$work/lupdate.err" ]; then
        echo "check-translations: lupdate could not read every text:" >&2
        cat "$work/lupdate.err" >&2
        status=1
    fi
    # lupdate marks a text it has just added as unfinished, one the code lost as vanished.
    awk -v ts="$ts" '
        /<source>/ { source = ""; collecting = 1 }
        collecting { source = source $0 "\n" }
        /<\/source>/ { collecting = 0 }
        /<translation type="(unfinished|vanished|obsolete)"/ {
            match($0, /type="[a-z]+"/)
            printf "%s: %s:\n%s", ts, substr($0, RSTART + 6, RLENGTH - 7), source
            bad = 1
        }
        END { exit bad }' "$copy" >&2 || status=1
done
[ "$status" -eq 0 ] && echo "check-translations: every text is translated in $*"
exit "$status"
