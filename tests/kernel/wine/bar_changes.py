#!/usr/bin/python3
# bar_changes.py WINDOW ROWS: prints "MS node on|off" when the controller's hidraw node comes
# or goes, and "MS bar" when the bottom ROWS rows of the X window (its status bar) change; MS
# on one monotonic clock, so that the two can be told apart by less than a screenshot takes.
import ctypes
import glob
import sys
import time
import zlib

x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + [ctypes.c_uint] * 2 + [ctypes.c_ulong, ctypes.c_int]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 7


class Image(ctypes.Structure):  # the head of Xlib's XImage
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
                ("data", ctypes.c_void_p), ("misc", ctypes.c_int * 5), ("bytes_per_line", ctypes.c_int)]


display = x11.XOpenDisplay(None)
window, rows = int(sys.argv[1], 0), int(sys.argv[2])
dims = [ctypes.c_uint() for _ in range(4)]
x11.XGetGeometry(display, window, ctypes.byref(ctypes.c_ulong()), ctypes.byref(ctypes.c_int()), ctypes.byref(ctypes.c_int()),
                 *[ctypes.byref(d) for d in dims])
width, height = dims[0].value, dims[1].value


def node():
    for d in glob.glob("/sys/class/hidraw/hidraw*"):
        try:
            if "HID_ID=0003:000004D8:0000003F" in open(d + "/device/uevent").read():
                return True
        except OSError:  # gone while we looked
            pass
    return False


def bar():
    p = x11.XGetImage(display, window, 0, height - rows, width, rows, 0xFFFFFFFF, 2)  # ZPixmap
    if not p:
        return None
    image = Image.from_address(p)
    crc = zlib.crc32(ctypes.string_at(image.data, image.bytes_per_line * rows))
    x11.XFree(image.data)
    x11.XFree(p)
    return crc


last = (None, None)
while True:
    now = (node(), bar())
    ms = round(time.monotonic() * 1000)
    if now[0] != last[0]:
        print(ms, "node", "on" if now[0] else "off", flush=True)
    if now[1] != last[1]:
        print(ms, "bar", flush=True)
    last = now
    time.sleep(0.005)
