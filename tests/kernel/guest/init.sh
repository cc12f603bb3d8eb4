#!/bin/busybox sh
# The initramfs's init: reach the host's root over virtio-9p and switch to it.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for m in $(cat /modules/order); do insmod /modules/$m; done
stage2= prepare=
for a in $(cat /proc/cmdline); do
    case $a in
    drevonix.stage2=*) stage2=${a#*=} ;;
    drevonix.prepare=*) prepare=${a#*=} ;;
    esac
done
# A systemd boot: the host's root read-only under a writable tmpfs, as an installed
# system has it; otherwise the busybox boot mounts the share itself.
root=/newroot
[ -n "$prepare" ] && root=/host && mkdir -p /host /rw
# The virtio devices are probed in the background: the share may need a moment.
n=0
until mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=512000 hostroot $root; do
    n=$((n + 1))
    [ $n -lt 50 ] || { echo "init: cannot mount the host's root"; poweroff -f; }
    sleep 0.1
done
if [ -n "$prepare" ]; then
    mount -t tmpfs -o mode=0755 tmpfs /rw
    mkdir -p /rw/upper /rw/work
    mount -t overlay -o lowerdir=/host,upperdir=/rw/upper,workdir=/rw/work overlay /newroot ||
        { echo "init: no overlay on the host's root"; poweroff -f; }
fi
mount --move /dev /newroot/dev
mount --move /proc /newroot/proc
mount --move /sys /newroot/sys
if [ -n "$prepare" ]; then
    # The lane's own setup, in the new root; then systemd is the init.
    chroot /newroot /bin/bash "$prepare" || { echo "init: $prepare failed"; poweroff -f; }
    exec switch_root /newroot /lib/systemd/systemd
fi
exec switch_root /newroot /bin/bash "$stage2"
