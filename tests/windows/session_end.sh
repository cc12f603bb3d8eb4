#!/usr/bin/env bash
# The end of the Windows session (WM_QUERYENDSESSION, then WM_ENDSESSION, as wineboot
# --end-session sends them): the settings are saved before the program ends.
. "$DREVONIX_E2E_LIB/desktop.sh"
. "$(dirname "$0")/lib.sh"
desktop_start
wine_start
need_tools iconv

demo=$(app_copy drevonix-demo)
ini=$WORK/app/Control.ini
demo_start "$demo"
[ ! -e "$ini" ] || fail "Control.ini exists before the end"
wineboot --end-session >"$WORK/wineboot.log" 2>&1 || fail "wineboot --end-session failed"
wait_for "Control.ini" 20 test -s "$ini"
wait_for "the demo to end" 20 gone "$DEMO_PID"
sections=$(tr -d '\r' <"$ini" | grep -c '^\[.*\]$')
[ "$sections" -eq 14 ] || fail "Control.ini has $sections sections after the session ended, expected 14"
iconv -f cp1251 -t utf-8 "$ini" | grep -q '^Descript=Закрыть' || fail "Control.ini is not whole"
e2e_log PASS
