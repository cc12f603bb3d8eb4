#!/bin/bash
# The systemd boot's setup, run by the initramfs in the new root (the host's root under a
# tmpfs) before systemd starts: what a car computer's image has that the host has not.
set -eu
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
mount -t tmpfs -o mode=0755,nosuid,nodev tmpfs /run
mkdir -p /run/lane
mount -t 9p -o trans=virtio,version=9p2000.L lane /run/lane
set -a
. /run/lane/lane.env
set +a
# udev as its package puts it in place (never installed on the host: its postinst would
# start udevd there); the kernel's modules where modprobe looks for them.
tar -C "$UDEVDIR" -c bin lib etc usr | tar -C / -x --keep-directory-symlink
mkdir -p /lib/modules && ln -sfn "$KDIR/lib/modules/$KVER" "/lib/modules/$KVER"

# The host's /tmp is in sight (a clone under /tmp stays usable): systemd-tmpfiles must not
# empty it at boot, which also takes minutes over 9p.
mkdir -p /etc/tmpfiles.d
: >/etc/tmpfiles.d/tmp.conf
# man-db's index is no part of this, and slow in the guest: off, as many images have it.
rm -f /var/lib/man-db/auto-update

useradd --create-home --shell /bin/bash kiosk
# Its key table: wheel code 700 types X.
mkdir -p /home/kiosk/.config/drevonix
printf '[Key 01]\r\nJ.Code=700\r\nValue=88\r\nSymbol=X\r\n' >/home/kiosk/.config/drevonix/Control.ini
# The X session, started from tty1 once the checks say so (a kiosk would start it at once):
# a tray host, then openbox, whose session runs the XDG autostart entries.
cat >/home/kiosk/.xinitrc <<'EOF'
trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 32 \
    --SetDockType true --SetPartialStrut true --transparent false &
exec openbox-session
EOF
cat >/home/kiosk/.bash_profile <<'EOF'
if [ "$(tty)" = /dev/tty1 ] && [ -p /run/lane-startx ]; then
    read -r _ </run/lane-startx
    exec startx -- /usr/bin/Xvfb :0 -screen 0 1024x768x24 -nolisten tcp >/run/lane-x/x.log 2>&1
fi
EOF
chown -R kiosk:kiosk /home/kiosk
mkfifo -m 0644 /run/lane-startx
mkdir -m 0777 /run/lane-x

# tty1 logs kiosk in, but only once a check starts it: lingering must be seen first.
mkdir -p /etc/systemd/system/getty@tty1.service.d
cat >/etc/systemd/system/getty@tty1.service.d/autologin.conf <<'EOF'
[Service]
ExecStart=
ExecStart=-/sbin/agetty --autologin kiosk --noclear %I $TERM
EOF
rm -f /etc/systemd/system/getty.target.wants/getty@tty1.service
# What the host runs and a car computer does not.
for unit in postgresql.service systemd-timesyncd.service e2scrub_reap.service apt-daily.timer \
    apt-daily-upgrade.timer man-db.timer dpkg-db-backup.timer e2scrub_all.timer fstrim.timer; do
    ln -sf /dev/null "/etc/systemd/system/$unit"
done

# The checks, once the system is up; then the power-off, which the last check watches.
cat >/etc/systemd/system/drevonix-lane.service <<EOF
[Unit]
Description=Drevonix kernel lane: the checks
After=multi-user.target
[Service]
Type=oneshot
ExecStart=/bin/bash -c 'set -a; . /run/lane/lane.env; exec bash $SRC/tests/kernel/guest/systemd-checks.sh'
StandardOutput=journal+console
StandardError=journal+console
EOF
# Stopped after every user's processes (user.slice) and before /run/lane goes: it sees the
# settings as drevonix left them at systemd's SIGTERM.
cat >/etc/systemd/system/drevonix-lane-end.service <<EOF
[Unit]
Description=Drevonix kernel lane: the settings after the power-off
DefaultDependencies=no
Before=user.slice shutdown.target
Conflicts=shutdown.target
RequiresMountsFor=/run/lane /home
[Service]
Type=oneshot
RemainAfterExit=yes
ExecStart=/bin/true
ExecStop=/bin/bash -c 'set -a; . /run/lane/lane.env; LANE=/run/lane; exec bash $SRC/tests/kernel/guest/poweroff-check.sh'
StandardOutput=journal+console
StandardError=journal+console
EOF
mkdir -p /etc/systemd/system/multi-user.target.wants
ln -sf ../drevonix-lane.service ../drevonix-lane-end.service /etc/systemd/system/multi-user.target.wants/
