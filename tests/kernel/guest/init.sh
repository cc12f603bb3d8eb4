#!/bin/busybox sh
# The initramfs's init: reach the host's root over virtio-9p and switch to it.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for m in $(cat /modules/order); do insmod /modules/$m; done
stage2=
for a in $(cat /proc/cmdline); do
    case $a in drevonix.stage2=*) stage2=${a#*=} ;; esac
done
# The virtio devices are probed in the background: the share may need a moment.
n=0
until mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=512000 hostroot /newroot; do
    n=$((n + 1))
    [ $n -lt 50 ] || { echo "init: cannot mount the host's root"; poweroff -f; }
    sleep 0.1
done
mount --move /dev /newroot/dev
mount --move /proc /newroot/proc
mount --move /sys /newroot/sys
exec switch_root /newroot /bin/bash "$stage2"
