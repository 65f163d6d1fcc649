#!/usr/bin/env python3
"""A frozen clipboard owner: takes the X CLIPBOARD selection, prints "owned"
and stops itself (SIGSTOP). It never answers a request for the clipboard's
contents, so a reader waits until its own time-out. Needs DISPLAY; talks
to libX11 directly, as no X library for Python is installed."""
import ctypes
import os
import signal
import sys

x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XCreateSimpleWindow.restype = ctypes.c_ulong
x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
    [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                   ctypes.c_ulong]
x11.XGetSelectionOwner.restype = ctypes.c_ulong
x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("frozen_owner: cannot open the display")
window = x11.XCreateSimpleWindow(display, x11.XDefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)
clipboard = x11.XInternAtom(display, b"CLIPBOARD", 0)
x11.XSetSelectionOwner(display, clipboard, window, 0)  # 0: CurrentTime
x11.XSync(display, 0)
if x11.XGetSelectionOwner(display, clipboard) != window:
    sys.exit("frozen_owner: could not take the clipboard")
print("owned", flush=True)
os.kill(os.getpid(), signal.SIGSTOP)
