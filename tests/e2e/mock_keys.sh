#!/usr/bin/env bash
# drevonix-cli keys on a mocked controller, on a virtual desktop without uinput: it waits
# for the controller, types each press into a window of ours through XTest with the repeat
# rule's counts, modifiers and media keys, outlives an unplug, reads the table again on
# SIGHUP (also one in its first moments; one that finds no file keeps the table), ends with
# 0 on SIGTERM, never writing Control.ini, and ends when the terminal it was started in
# closes. One typist at a time: a second keys and drevonix are refused while keys runs,
# and keys while drevonix runs.
. "${DREVONIX_E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"
. "$DREVONIX_E2E_LIB/mock.sh"

mock_need drevonix-cli drevonix
need_tools xev
desktop_start --no-tray
cli=$(private_copy "$DREVONIX_CLI_EXE")
exe=$(private_copy "$DREVONIX_EXE")
ini="$(dirname "$cli")/Control.ini"
# 700 types x, 900 Ctrl+L, 1100 volume up (VK 175); a held button repeats after 20
# reports, then every 10.
write_ini() {
    printf '[Key 01]\r\nJ.Code=700\r\nValue=%s\r\n[Key 02]\r\nJ.Code=900\r\nCtrl=1\r\nValue=76\r\n' "$1"
    printf '[Key 03]\r\nJ.Code=1100\r\nValue=175\r\n[System]\r\nVal.First=20\r\nVal.Next=10\r\n'
}
write_ini 88 >"$ini"

spawn receiver xev -event keyboard -name drevonix-receiver -geometry 300x200+20+400
wait_for "the receiver window" 10 xdotool search --onlyvisible --name '^drevonix-receiver$'
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^drevonix-receiver$' | head -n1)"
# The keys pressed in the receiver, by name, one line each.
pressed() { grep -A2 '^KeyPress' "$WORK/receiver.log" | grep -o 'keysym 0x[0-9a-f]*, [A-Za-z0-9_]*' | cut -d' ' -f3; }
presses_are() { [ "$(pressed | tr '\n' ' ')" = "$1" ]; }

log=$WORK/mock.log ctl=$WORK/mock.ctl out=$WORK/keys.log
# Without a terminal, as a service runs: a SIGHUP is a reload.
spawn keys setsid "$MOCK" --absent --timeout 90 --log "$log" --control "$ctl" -- "$cli" keys --verbose
KEYS=$SPAWNED
said() { grep -c -- "$1" "$out"; }
said_times() { [ "$(said "$1")" -ge "$2" ]; }
# A SIGHUP as soon as it is caught, as systemctl reload right after a start sends it.
catches_hup() { grep -Eq '^SigCgt:.*[13579bdf]$' "/proc/$(pgrep -P "$KEYS" -x drevonix-cli)/status"; }
wait_for "keys catching SIGHUP" 10 catches_hup
kill -HUP "$(pgrep -P "$KEYS" -x drevonix-cli)"
wait_for "the reload in its first moments" 10 said_times "key table read again from $ini\$" 1
wait_for "waiting for the controller" 10 said_times 'no controller attached; waiting for it' 1
echo plug >"$ctl"
wait_for "the controller" 10 said_times 'typing the wheel buttons of Drevonix USB Power Controller' 1

# press CODE REPORTS EXPECTED: the presses the receiver has seen after it, in all.
press() {
    echo "press $1 $2" >"$ctl"
    wait_for "the keys of press $1 x $2" 10 presses_are "$3"
    # Past the release (more than a second of silence, seen at a 500 ms tick): the next
    # press starts afresh, and no late repeat of this one went unseen.
    sleep 1.6
    presses_are "$3" || fail "after press $1 x $2: $(pressed | tr '\n' ' '), expected $3"
}
# Reports 1, 21, 31 and 41 of 45 fire.
press 700 45 "x x x x "
[ "$(said '^code=700 entry=01 key=88 modifiers=none$')" = 4 ] || fail "--verbose: $(cat "$out")"

echo unplug >"$ctl"
wait_for "the unplug" 10 said_times 'the controller is gone; waiting for it' 1
echo plug >"$ctl"
wait_for "the re-plug" 10 said_times 'typing the wheel buttons of' 2
press 900 3 "x x x x Control_L l "
press 1100 3 "x x x x Control_L l XF86AudioRaiseVolume "
grep -q '^code=900 entry=02 key=76 modifiers=Ctrl$' "$out" || fail "--verbose: $(cat "$out")"

# SIGHUP: the file as it is now.
write_ini 89 >"$ini"
kill -HUP "$KEYS"
wait_for "the reload" 10 said_times "key table read again from $ini\$" 2
press 700 3 "x x x x Control_L l XF86AudioRaiseVolume y "
# A reload while the file is away (an editor saving it) keeps the table in use.
mv "$ini" "$ini.away"
kill -HUP "$KEYS"
wait_for "the table kept" 10 said_times "the key table is not read again: $ini does not exist; the table in use is kept" 1
mv "$ini.away" "$ini"
press 700 3 "x x x x Control_L l XF86AudioRaiseVolume y y "

# A second typist, and the window program, are refused while keys runs.
holder="drevonix-cli (process $(pgrep -P "$KEYS" -x drevonix-cli))"
# The second from another folder (another Control.ini) and another environment: still
# the same controller, the same user.
second=$(env HOME="$WORK" XDG_CONFIG_HOME="$WORK/elsewhere" timeout 10 "$DREVONIX_CLI_EXE" keys 2>&1)
rc=$?
[ "$rc" = 1 ] && [ "$second" = "drevonix-cli: the wheel buttons are typed already by $holder; not starting a second typist" ] ||
    fail "a second keys: status $rc, said \"$second\""
spawn window "$MOCK" --absent --timeout 60 --log "$WORK/window-mock.log" -- "$exe"
WINDOW=$SPAWNED
box() { xdotool search --onlyvisible --name '^Drevonix v2.2$'; }
wait_for "the box" 20 box
shot refused-box
xdotool key --window "$(box | head -n1)" Return
for ((n = 0; n < 100; n++)); do kill -0 "$WINDOW" 2>/dev/null || break; sleep 0.1; done
wait "$WINDOW"
rc=$?
[ "$rc" = 1 ] && grep -q "^drevonix: the wheel buttons are typed already by $holder\$" "$WORK/window.log" ||
    fail "drevonix while keys runs: status $rc, said \"$(cat "$WORK/window.log")\""

cp "$ini" "$WORK/ini.before"
kill -TERM "$KEYS"
for ((n = 0; n < 100; n++)); do kill -0 "$KEYS" 2>/dev/null || break; sleep 0.1; done
wait "$KEYS"
rc=$?
[ "$rc" = 0 ] || fail "keys ended with status $rc after SIGTERM"
cmp -s "$ini" "$WORK/ini.before" || fail "keys changed Control.ini"

# Started in a terminal, it ends when the terminal closes: that hangup is no reload.
spawn term script -qfec "exec '$cli' keys" /dev/null
TERM_PID=$SPAWNED
wait_for "keys in its terminal" 10 grep -q 'waiting for' "$WORK/term.log"
tkeys=$(pgrep -P "$TERM_PID" -x drevonix-cli) || fail "no keys under script: $(cat "$WORK/term.log")"
kill -KILL "$TERM_PID"
gone() { [ ! -e "/proc/$tkeys" ] || grep -q '^State:.*Z' "/proc/$tkeys/status"; }
wait_for "keys ending with its terminal" 10 gone

# The other way round: keys while drevonix runs.
spawn window "$MOCK" --absent --timeout 60 --log "$WORK/window2-mock.log" -- "$exe"
wait_for "the main window" 20 xdotool search --onlyvisible --name '^Drevonix v2.2$'
third=$(timeout 10 "$cli" keys 2>&1)
rc=$?
[ "$rc" = 1 ] && [[ $third =~ ^drevonix-cli:\ the\ wheel\ buttons\ are\ typed\ already\ by\ drevonix\ \(process\ [0-9]+\)\;\ not\ starting ]] ||
    fail "keys while drevonix runs: status $rc, said \"$third\""
e2e_log "PASS"
