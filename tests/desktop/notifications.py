#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The desktop's notification service (org.freedesktop.Notifications) on the session bus, as
GNOME Shell serves it and reads each notification to a screen reader: writes the summary and
body of each Notify to a file, a line each ("summary|body"), and creates the file READY once it
owns its name. Run by read_aloud.sh, stopped by it.

Usage: notifications.py <file> <ready file>
"""
import sys

from gi.repository import Gio, GLib

notes, ready = sys.argv[1], sys.argv[2]
interface = Gio.DBusNodeInfo.new_for_xml('''
<node><interface name="org.freedesktop.Notifications">
  <method name="Notify">
    <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
    <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
    <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
    <arg type="u" direction="out"/>
  </method>
</interface></node>''').interfaces[0]
count = 0


def called(connection, sender, path, name, method, parameters, invocation):
    global count
    count += 1
    summary, body = parameters[3], parameters[4]
    with open(notes, 'a') as out:
        out.write(f'{summary}|{body}\n')
    invocation.return_value(GLib.Variant('(u)', (count,)))


def acquired(connection, name):
    open(ready, 'w').close()


def bus_acquired(connection, name):
    connection.register_object('/org/freedesktop/Notifications', interface, called, None, None)


Gio.bus_own_name(Gio.BusType.SESSION, 'org.freedesktop.Notifications',
                 Gio.BusNameOwnerFlags.NONE, bus_acquired, acquired, lambda *_: sys.exit(1))
GLib.MainLoop().run()
