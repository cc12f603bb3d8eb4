#!/usr/bin/python3
# bar_changes.py WINDOW WIDTH HEIGHT ROWS: prints "MS node on|off" when the controller's
# hidraw node comes or goes and "MS bar" when the window's bottom ROWS rows (its status bar)
# change, on one clock: a screenshot tool takes longer under TCG than what is measured.
import ctypes, glob, sys, time, zlib

x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
x11.XOpenDisplay.restype = x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + [ctypes.c_uint] * 2 + [ctypes.c_ulong, ctypes.c_int]
x11.XFree.argtypes = [ctypes.c_void_p]
display = x11.XOpenDisplay(None)
window, width, height, rows = (int(a, 0) for a in sys.argv[1:5])


def node():
    for d in glob.glob("/sys/class/hidraw/hidraw*"):
        try:
            if "HID_ID=0003:000004D8:0000003F" in open(d + "/device/uevent").read():
                return "on"
        except OSError:  # gone while we looked
            pass
    return "off"


def bar():
    image = x11.XGetImage(display, window, 0, height - rows, width, rows, 0xFFFFFFFF, 2)  # ZPixmap
    # Xlib's XImage on x86-64: its data pointer at byte 16, bytes_per_line at byte 44.
    data, stride = ctypes.c_void_p.from_address(image + 16).value, ctypes.c_int.from_address(image + 44).value
    crc = zlib.crc32(ctypes.string_at(data, stride * rows))
    x11.XFree(data)
    x11.XFree(image)
    return crc


last = (None, None)
while True:
    now = (node(), bar())
    ms = round(time.monotonic() * 1000)
    if now[0] != last[0]:
        print(ms, "node", now[0], flush=True)
    if now[1] != last[1]:
        print(ms, "bar", flush=True)
    last = now
    time.sleep(0.005)
