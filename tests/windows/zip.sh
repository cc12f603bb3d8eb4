#!/usr/bin/env bash
# The zip as a user gets it: unzipped into an empty folder, drevonix-demo.exe runs from
# it with nothing else on the DLL path, shows its window, and leaves a cp1251 Control.ini
# beside itself when it ends.
. "$DREVONIX_E2E_LIB/desktop.sh"
. "$(dirname "$0")/lib.sh"
desktop_start
wine_start
need_tools unzip iconv
[ -f "${DREVONIX_WINDOWS_ZIP:-}" ] || skip "no zip: tools/package-windows.sh makes it"

mkdir "$WORK/user"
unzip -q "$DREVONIX_WINDOWS_ZIP" -d "$WORK/user" || fail "cannot unzip"
dir=$(echo "$WORK"/user/drevonix-*-win64)
[ -x "$dir/drevonix-demo.exe" ] || chmod +x "$dir"/*.exe
export DREVONIX_SIM_SOCKET=drevonix-sim-$$-$RANDOM
# wine alone: no WINEPATH, no plugin path, only what the zip holds.
spawn demo env -u WINEPATH wine "$dir/drevonix-demo.exe"
DEMO_PID=$SPAWNED
ctl() {
    local out
    out=$(env -u WINEPATH wine "$dir/drevonix-demo-ctl.exe" --timeout 30 "$@") || return
    printf '%s\n' "${out//$'\r'/}"
}
wait_for "the demo's control socket" 60 ctl "get tab"
# A second start from the zip brings its window up.
env -u WINEPATH DREVONIX_SIM_SOCKET= wine "$dir/drevonix-demo.exe" >/dev/null 2>&1
wait_for "the window" 30 xdotool search --onlyvisible --name '^Drevonix v2.2$'
sleep 2
shot zip-window
[ "$(ctl quit)" = ok ] || fail "quit was refused"
wait_for "the demo to end" 20 gone "$DEMO_PID"
[ -f "$dir/Control.ini" ] || fail "no Control.ini beside the unzipped program"
iconv -f cp1251 -t utf-8 "$dir/Control.ini" | grep -q '^Descript=Старт' || fail "Control.ini is not the program's, in cp1251"
e2e_log PASS
