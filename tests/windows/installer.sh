#!/usr/bin/env bash
# The installer as a user gets it, silent, in a fresh prefix: the programs, the Start-menu
# entries, Settings -> Apps, version resources and the Run entry; at the next login that
# entry starts the program in the tray with its window hidden; an install while it runs is
# refused; a second install keeps Control.ini with a learned key beside the program; a
# silent uninstall leaves only that Control.ini.
. "$DREVONIX_E2E_LIB/desktop.sh"
. "$(dirname "$0")/lib.sh"
[ -f "${DREVONIX_WINDOWS_SETUP:-}" ] || skip "no installer: tools/package-windows.sh makes it"
need_tools "${WINDRES:-windres}" iconv
desktop_start
# A prefix of this test's own: nothing of an earlier install can be there. Its 700 MB go
# at the end, also when the rest of WORK is kept.
DREVONIX_WINEPREFIX=$WORK/prefix wine_start
trap 'r=$?; wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"; (exit $r); e2e_cleanup' EXIT

# wine alone, as the installed program is started: no WINEPATH.
w() { env -u WINEPATH wine "$@"; }
reg_get() { w reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
setup() { w "$DREVONIX_WINDOWS_SETUP" /S /CurrentUser; }
profile=$(dirname "$APPDATA_DIR")
dir=$profile/Local/Programs/Drevonix
menu=$APPDATA_DIR/Microsoft/Windows/Start\ Menu/Programs
uninst='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Drevonix'
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
exe_win=$(winepath -w "$dir/drevonix.exe")
# Started by wine, not by us: known by the installed file it maps.
running() {
    local p
    for p in $(pgrep -f 'drevonix\.exe'); do grep -qF "$dir/drevonix.exe" "/proc/$p/maps" 2>/dev/null && return 0; done
    return 1
}

# wine's user is an administrator; /CurrentUser installs as a user without those rights.
setup || fail "the installer ended with status $?"
for f in drevonix.exe drevonix-demo.exe drevonix-cli.exe uninstall.exe platforms/qwindows.dll \
    "$menu/Drevonix.lnk" "$menu/Drevonix demo.lnk"; do
    case $f in /*) ;; *) f=$dir/$f ;; esac
    [ -f "$f" ] || fail "$f was not installed"
done
[ "$(reg_get "$run" Drevonix)" = "\"$exe_win\"" ] || fail "the Run entry is \"$(reg_get "$run" Drevonix)\""
for v in "DisplayName|Drevonix" "DisplayVersion|2.2" "Publisher|Drevonix maintainers" \
    "DisplayIcon|$exe_win,0" "UninstallString|\"${exe_win%drevonix.exe}uninstall.exe\""; do
    [ "$(reg_get "$uninst" "${v%%|*}")" = "${v#*|}" ] || fail "Settings -> Apps: ${v%%|*} is \"$(reg_get "$uninst" "${v%%|*}")\""
done
size=$(reg_get "$uninst" EstimatedSize)
[ $((size)) -gt 10000 ] || fail "EstimatedSize is $size KB"
for p in drevonix drevonix-demo drevonix-demo-ctl drevonix-cli; do
    "${WINDRES:-windres}" -i "$dir/$p.exe" -O rc 2>/dev/null | tr -d '\0' >"$WORK/$p.rc"
    grep -q 'VALUE "ProductName", "Drevonix"' "$WORK/$p.rc" && grep -q 'VALUE "FileVersion", "2.2"' "$WORK/$p.rc" &&
        grep -q 'VALUE "OriginalFilename", "'"$p"'.exe"' "$WORK/$p.rc" || fail "$p.exe has no version resource of its own"
done

# wineboot runs the Run entries, as a login does: the icon in the tray, no window. wine
# docks every program's tray icon as a window of its explorer.exe; in this prefix only ours.
wineboot >"$WORK/login.log" 2>&1 || fail "wineboot failed"
wait_for "the tray icon" 60 icon_window explorer.exe
running || fail "no drevonix.exe runs from the install folder"
sleep 2
main_window drevonix.exe && fail "the window was shown at login"
shot installer-login
# Its files are in use: the installer leaves them alone and says so by its status.
setup && fail "an install over the running program succeeded"
[ -f "$dir/drevonix.exe" ] && [ -f "$dir/uninstall.exe" ] || fail "a refused install took files away"

# The session ends: the program saves its Control.ini beside itself, where it may write.
# (Without --shutdown, wineboot would log in again at once and run the Run entry anew.)
wineboot --end-session --shutdown >>"$WORK/login.log" 2>&1 || fail "wineboot --end-session failed"
wait_for "Control.ini" 30 test -s "$dir/Control.ini"
wait_for "the program to end" 30 eval '! running'
[ ! -e "$APPDATA_DIR/drevonix" ] || fail "the installed program kept its settings in %APPDATA%"
[ "$(ini_sections "$dir/Control.ini")" -eq 14 ] || fail "Control.ini is not whole"
# A button learned: row 03 answers to code 777.
ini_set "$dir/Control.ini" "Key 03" J.Code "$(hex 777)" || fail "WritePrivateProfileStringA failed"
cp "$dir/Control.ini" "$WORK/learned.ini"

setup || fail "the second install ended with status $?"
cmp -s "$WORK/learned.ini" "$dir/Control.ini" || fail "the second install changed Control.ini"
[ -n "$(reg_get "$run" Drevonix)" ] || fail "the second install dropped the Run entry"

# The uninstaller runs on from a copy of itself: its work is awaited by what it leaves.
w "$dir/uninstall.exe" /S || fail "the uninstaller ended with status $?"
only_ini() { [ "$(ls -A "$dir")" = Control.ini ]; }
wait_for "the uninstall" 60 only_ini
cmp -s "$WORK/learned.ini" "$dir/Control.ini" || fail "the uninstall changed Control.ini"
[ ! -e "$menu/Drevonix.lnk" ] && [ ! -e "$menu/Drevonix demo.lnk" ] || fail "the Start-menu entries are left"
[ -z "$(reg_get "$run" Drevonix)" ] || fail "the Run entry is left"
w reg query "$uninst" >/dev/null 2>&1 && fail "the uninstaller is still listed in Settings -> Apps"
e2e_log PASS
