#!/usr/bin/env bash
# A taught row is saved by "Выход" and back after the next start.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"
. "$DREVONIX_E2E_LIB/demo.sh"

demo_need
desktop_start
demo_start
[ ! -e "$DEMO_INI" ] || fail "Control.ini exists before the first run"
show_main
learn_row5
demo_quit

[ -f "$DEMO_INI" ] || fail "no Control.ini after Выход"
# The value of KEY in [SECTION], from the file as it is on disk (CR LF, Windows-1251).
ini_value() {
    tr -d '\r' <"$DEMO_INI" | awk -v s="[$1]" -v k="$2" '
        /^\[/ { in_s = ($0 == s) }
        in_s && index($0, k "=") == 1 { print substr($0, length(k) + 2); exit }'
}
[ "$(ini_value "Key 05" J.Code)" = 700 ] || fail "Key 05 J.Code is \"$(ini_value "Key 05" J.Code)\""
[ "$(ini_value "Key 05" Symbol)" = X ] || fail "Key 05 Symbol is \"$(ini_value "Key 05" Symbol)\""
[ "$(ini_value "Key 05" Value)" = 88 ] || fail "Key 05 Value is \"$(ini_value "Key 05" Value)\""
[ "$(ini_value "Key 04" J.Code)" = 1024 ] || fail "Key 04 changed"
e2e_log "Control.ini: $(tr -d '\r' <"$DEMO_INI" | sed -n '/^\[Key 05\]/,/^$/p' | tr '\n' ' ')"

demo_start
expect_get jcode05 700
expect_get smb05 X
expect_get val05 88
expect_get jcode04 1024
demo_quit
e2e_log "PASS"
