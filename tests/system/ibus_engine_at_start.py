#!/usr/bin/python3
"""The IBus side of turning the input method on: IBus keeps its bus's address
in the newest file under ~/.config/ibus/bus/, and a Japanese engine not
installed there is followed by the next one. A stand-in IBus (the one method
the diary calls) on a bus of its own, the program on an X server of its own.

    ibus_engine_at_start.py PROGRAM_FOLDER
"""
import os, shutil, subprocess, sys, time

from gi.repository import Gio, GLib

from session import end, first_line, start, work, x_server

INTERFACE = Gio.DBusNodeInfo.new_for_xml("""<node><interface name="org.freedesktop.IBus">
  <method name="SetGlobalEngine"><arg type="s" direction="in"/></method></interface></node>""").interfaces[0]
asked = []


def on_call(connection, sender, path, interface, method, parameters, invocation):
    engine = parameters.unpack()[0]
    asked.append(engine)
    if engine == "mozc-jp":  # not installed here
        invocation.return_dbus_error("org.freedesktop.DBus.Error.Failed", "no engine " + engine)
    else:
        invocation.return_value(None)


try:
    display = x_server()
    address = first_line(["dbus-daemon", "--session", "--nofork", "--print-address"])
    ibus = Gio.DBusConnection.new_for_address_sync(
        address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    ibus.register_object("/org/freedesktop/IBus", INTERFACE, on_call)
    ibus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                   GLib.Variant("(su)", ("org.freedesktop.IBus", 0)), None, 0, -1)
    # An older file from a session long gone, and the one of the running daemon.
    folder = os.path.join(work, ".config", "ibus", "bus")
    os.makedirs(folder)
    for name, text, age in (("old-unix-0", "IBUS_ADDRESS=unix:path=/nonexistent\n", 3600),
                            ("new-unix-0", "# This file is created by ibus-daemon.\nIBUS_ADDRESS=%s\n"
                                           "IBUS_DAEMON_PID=1\n" % address, 0)):
        with open(os.path.join(folder, name), "w") as f:
            f.write(text)
        os.utime(os.path.join(folder, name), (time.time() - age,) * 2)

    program = shutil.copytree(sys.argv[1], os.path.join(work, "program"))
    start([os.path.join(program, "pravok")], cwd=program,
          env=dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", QT_IM_MODULE="ibus", LC_ALL="C.UTF-8"))
    context = GLib.MainContext.default()
    deadline = time.monotonic() + 30
    while asked[-1:] != ["anthy"]:
        assert time.monotonic() < deadline, "IBus was asked for %s" % asked
        # What a window manager does for the new window: give it the keyboard.
        subprocess.run(["xdotool", "search", "--name", "Merrow日記", "windowfocus"], env=dict(os.environ, DISPLAY=display),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        until = time.monotonic() + 0.2
        while time.monotonic() < until:
            context.iteration(False) or time.sleep(0.01)
    assert asked[:2] == ["mozc-jp", "anthy"], asked
finally:
    end()
