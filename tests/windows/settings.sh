#!/usr/bin/env bash
# Control.ini under Windows: beside the program while its folder may be written, else in
# %APPDATA%\drevonix; in cp1251, and read and written alike by Windows' own profile
# functions.
. "$DREVONIX_E2E_LIB/desktop.sh"
. "$(dirname "$0")/lib.sh"
desktop_start
wine_start
need_tools iconv od chattr

run_demo() {
    demo_start "$1"
    demo_quit
}

# A folder it may write: the file goes beside the program, whole, in cp1251 with CR LF.
demo=$(app_copy drevonix-demo)
ini=$WORK/app/Control.ini
run_demo "$demo"
[ -f "$ini" ] || fail "no Control.ini beside the program"
[ "$(grep -c $'\r$' "$ini")" = "$(wc -l <"$ini")" ] || fail "Control.ini has lines without CR LF"
iconv -f cp1251 -t utf-8 "$ini" | grep -q '^Descript=Старт' || fail "row 01's description is not Старт in cp1251"

# Windows reads what we wrote, byte for byte.
for field in "Key 01|Descript|Старт" "Key 01|Value|65" "Key 12|Descript|Закрыть" "Key 12|Symbol|L"; do
    IFS='|' read -r section key want <<<"$field"
    got=$(ini_get "$ini" "$section" "$key")
    [ "$got" = "$(hex "$want")" ] || fail "[$section] $key reads $got through Windows, expected $(hex "$want")"
done

# And we read what Windows wrote: row 02 becomes Shift+Ctrl+F, "Громко".
ini_set "$ini" "Key 02" Value "$(hex 70)" && ini_set "$ini" "Key 02" Shift "$(hex 1)" &&
    ini_set "$ini" "Key 02" Ctrl "$(hex 1)" && ini_set "$ini" "Key 02" Descript "$(hex Громко)" ||
    fail "WritePrivateProfileStringA failed"
run_demo "$demo"
for field in "Value|70" "Shift|1" "Ctrl|1" "Descript|Громко"; do
    IFS='|' read -r key want <<<"$field"
    got=$(ini_get "$ini" "Key 02" "$key")
    [ "$got" = "$(hex "$want")" ] || fail "[Key 02] $key is $got after a load and save, expected $(hex "$want")"
done

# A folder it may not write (as Program Files to a user): %APPDATA%\drevonix instead.
mkdir "$WORK/locked"
cp "$demo" "$WORK/locked/"
chattr +i "$WORK/locked" || skip "chattr +i is refused here"
trap 'r=$?; chattr -i "$WORK/locked" 2>/dev/null; wineserver -k 2>/dev/null; (exit $r); e2e_cleanup' EXIT
run_demo "$WORK/locked/drevonix-demo.exe"
[ ! -e "$WORK/locked/Control.ini" ] || fail "Control.ini was made beside a program in a folder it may not write"
[ -f "$APPDATA_DIR/drevonix/Control.ini" ] || fail "no Control.ini in %APPDATA%\\drevonix"
iconv -f cp1251 -t utf-8 "$APPDATA_DIR/drevonix/Control.ini" | grep -q '^Descript=Старт' ||
    fail "the Control.ini in %APPDATA% is not the program's"
e2e_log PASS
