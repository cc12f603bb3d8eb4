#!/bin/bash
# Run by drevonix-lane-end.service as the guest powers off, after every user process has
# gone: drevonix, ended by systemd's SIGTERM, must have saved its settings whole.
ini=/home/kiosk/.config/drevonix/Control.ini
name=systemd_poweroff_save
mkdir -p "$LANE/logs/$name"
cp "$ini" /run/lane-x/x.log "$LANE/logs/$name/" 2>/dev/null
{
    echo "at $(cut -d' ' -f1 /proc/uptime) s; still running: $(pgrep -a drevonix || echo nothing)"
    journalctl -b --no-pager -o short-monotonic _UID="$(id -u kiosk)" | grep -i drevonix | tail -n 20
} >"$LANE/logs/$name.log" 2>&1
# A save of the whole table: every section, CR LF line ends, the learned key kept.
sections=$(tr -d '\r' <"$ini" | grep -c '^\[\(Key [01][0-9]\|Position\|System\)\]$')
if pgrep -x drevonix >/dev/null; then
    echo "fail: drevonix still ran after its session ended"
elif [ "$sections" != 14 ] || ! grep -q $'^J.Code=700\r$' "$ini"; then
    echo "fail: Control.ini is not complete: $sections of 14 sections ($(tr '\r\n' '  ' <"$ini" | head -c 300))"
else
    echo pass
fi >"$LANE/results/$name"
echo "kernel-lane: $name: $(cat "$LANE/results/$name")"
sync
