#!/bin/bash
# The guest's second stage, on the host's read-only root: tmpfs on /run and /tmp, the
# lane's folder from the host, the USB gadget plugged in; then the checks or a shell, and
# the guest powers off whatever happens.
# Nothing is laid over the host's /root or /var: the build tree or the kernel may be there.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp/home LANG=C.UTF-8
mount -t tmpfs -o mode=0755 tmpfs /run
mkdir -p /run/lane /run/host-tmp
mount -t 9p -o trans=virtio,version=9p2000.L lane /run/lane
set -a
. /run/lane/lane.env
set +a
# A clone or a build under the host's /tmp (CI may clone there) must stay in sight once
# the guest's own /tmp covers it: each such top folder is bound back at its own path.
mount --bind /tmp /run/host-tmp
mount -t tmpfs -o mode=1777 tmpfs /tmp
for tree in "$SRC" "$BUILD" "$KDIR" "$UDEVDIR" ${WINDOWS_BUILD:+"$WINDOWS_BUILD" "$WINE_TEMPLATE"}; do
    case $tree in
    /tmp/?*)
        top=${tree#/tmp/}
        top=${top%%/*}
        if ! mountpoint -q "/tmp/$top"; then
            mkdir -p "/tmp/$top"
            mount --bind "/run/host-tmp/$top" "/tmp/$top"
        fi
        ;;
    esac
done
mkdir -p /tmp/home /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
LANE=/run/lane
KERNEL_LIB=$SRC/tests/kernel/guest
export LANE KERNEL_LIB MODDIR=$KDIR/lib/modules/$KVER
exec </dev/null >/dev/console 2>&1
. "$KERNEL_LIB/gadget.sh"

echo "kernel-lane: up after $(cut -d' ' -f1 /proc/uptime) s"
if gadget_create; then
    echo "kernel-lane: the gadget is $(hidraw_node) after $(cut -d' ' -f1 /proc/uptime) s"
    if [ "$LANE_MODE" = shell ]; then
        echo "kernel-lane: a shell; the checks are in $SRC/tests/kernel/checks, 'exit' powers off"
        cd /tmp && setsid -c -w bash -i </dev/ttyS0 >/dev/ttyS0 2>&1
    else
        bash "$KERNEL_LIB/run-checks.sh"
    fi
else
    echo "kernel-lane: FAIL: no gadget"
fi
sync
busybox poweroff -f
