#!/usr/bin/python3
"""Drives a running program through the accessibility bus (AT-SPI), as a
screen reader would: where no input can be injected (a Wayland compositor
without a virtual keyboard), this still finds windows and presses buttons.

Usage (on the session bus in DBUS_SESSION_BUS_ADDRESS):
  accessible.py enable
      turns the accessibility bus on, as a screen reader does at its start;
      programs started afterwards take part.
  accessible.py window PID TITLE SECONDS
      succeeds once PID shows a window titled TITLE.
  accessible.py press PID TITLE BUTTON SECONDS [PATH]
      presses the button named BUTTON in PID's window titled TITLE; prints
      its PATH, where it is tried first the next time (a busy program
      answers each question of a search late).
  accessible.py type PID TITLE NAME TEXT SECONDS
      replaces the text of the text box named NAME in that window by TEXT.
  accessible.py names PID TITLE SECONDS
      prints role and name of every object in that window, one a line.
"""

import itertools
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

# Atspi marks its action calls deprecated in favour of others that Debian
# 12's version does not have yet.
warnings.simplefilter("ignore", DeprecationWarning)

def enable():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                  GLib.Variant("(ssv)", ("org.a11y.Status", "IsEnabled",
                                         GLib.Variant("b", True))),
                  None, Gio.DBusCallFlags.NONE, 5000, None)


def children(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield child


def windows_of(pid):
    for app in children(Atspi.get_desktop(0)):
        try:
            if app.get_process_id() != pid:
                continue
            yield from children(app)
        except GLib.Error:
            continue


def find_window(pid, title):
    for window in windows_of(pid):
        if window.get_name() == title:
            return window
    return None


def descendants(node, path=()):
    """(path, object) for every object below node; a path holds child indexes."""
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield path + (i,), child
            yield from descendants(child, path + (i,))


def poll(seconds, attempt):
    deadline = time.monotonic() + seconds
    while True:
        try:
            found = attempt()
        except GLib.Error:
            found = None
        if found is not None:
            return found
        if time.monotonic() > deadline:
            return None
        time.sleep(0.1)


def act(pid, title, seconds, action, hint=()):
    """Runs action on the objects of PID's window TITLE, the one at path hint
    first, until it succeeds; the path of that object."""

    def attempt():
        window = hinted = find_window(pid, title)
        for i in hint:
            hinted = hinted and hinted.get_child_at_index(i)
        first = [(hint, hinted)] if hint and hinted else []
        for path, node in itertools.chain(first, descendants(window) if window else ()):
            if action(node):
                return "/".join(map(str, path))
        return None

    return poll(seconds, attempt)


def pressing(button):
    def action(node):
        if node.get_role_name() != "push button" or node.get_name() != button:
            return False
        return any(node.get_action_name(i) == "Press" and node.do_action(i)
                   for i in range(node.get_n_actions()))
    return action


def typing(name, text):
    return lambda node: (node.get_name() == name and node.get_editable_text_iface() is not None
                         and Atspi.EditableText.set_text_contents(node, text))


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "enable" and len(argv) == 2:
        enable()
        return 0
    if command == "window" and len(argv) == 5:
        return 0 if poll(float(argv[4]), lambda: find_window(int(argv[2]), argv[3])) else 1
    if command == "press" and len(argv) in (6, 7):
        hint = tuple(int(i) for i in argv[6].split("/")) if len(argv) == 7 else ()
        path = act(int(argv[2]), argv[3], float(argv[5]), pressing(argv[4]), hint)
        if path:
            print(path)
        return 0 if path else 1
    if command == "type" and len(argv) == 7:
        return 0 if act(int(argv[2]), argv[3], float(argv[6]), typing(argv[4], argv[5])) else 1
    if command == "names" and len(argv) == 5:
        window = poll(float(argv[4]), lambda: find_window(int(argv[2]), argv[3]))
        if window is None:
            return 1
        for _, node in descendants(window):
            print(f"{node.get_role_name()}\t{node.get_name()}")
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
