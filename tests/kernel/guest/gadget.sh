# The controller as a USB HID gadget on dummy_hcd, and its plug and unplug.
GADGET=/sys/kernel/config/usb_gadget/drevonix

# The node the kernel made for the controller, if any.
hidraw_node() {
    local d
    for d in /sys/class/hidraw/hidraw*; do
        grep -qs '^HID_ID=0003:000004D8:0000003F$' "$d/device/uevent" && echo "/dev/${d##*/}" && return 0
    done
    return 1
}

# wait_until SECONDS CMD...: CMD succeeds within the time (a slow guest checks less often).
wait_until() {
    local end=$((SECONDS + $1))
    shift
    while ! "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.05
    done
}

node_present() { local n; n=$(hidraw_node) && [ -e "$n" ]; }
node_absent() { ! node_present; }

# A real plug and unplug: the gadget bound to the dummy UDC or not.
plug() {
    ls /sys/class/udc >"$GADGET/UDC"
    wait_until 30 node_present
}
unplug() {
    echo "" >"$GADGET/UDC"
    wait_until 30 node_absent
}
plugged() { [ -n "$(cat "$GADGET/UDC")" ]; }

gadget_create() {
    local m
    for m in $LANE_MODULES; do
        [ -d "/sys/module/$(basename "$m" .ko | tr - _)" ] || busybox insmod "$MODDIR/$m" || return 1
    done
    mountpoint -q /sys/kernel/config || mount -t configfs configfs /sys/kernel/config
    mkdir -p "$GADGET/strings/0x409" "$GADGET/configs/c.1" "$GADGET/functions/hid.usb0"
    echo 0x04d8 >"$GADGET/idVendor"
    echo 0x003f >"$GADGET/idProduct"
    echo 0x0100 >"$GADGET/bcdDevice"
    echo Drevonix >"$GADGET/strings/0x409/manufacturer"
    echo "Drevonix USB Power Controller" >"$GADGET/strings/0x409/product"
    echo 0001 >"$GADGET/strings/0x409/serialnumber"
    local f=$GADGET/functions/hid.usb0
    echo 0 >"$f/protocol"
    echo 0 >"$f/subclass"
    echo 64 >"$f/report_length"
    # Vendor-defined page, 64 bytes in and out: what the controller's firmware declares.
    printf '\x06\x00\xff\x09\x01\xa1\x01\x15\x00\x26\xff\x00\x75\x08\x95\x40\x09\x01\x81\x02\x95\x40\x09\x01\x91\x02\xc0' >"$f/report_desc"
    ln -s "$f" "$GADGET/configs/c.1/"
    plug
}
