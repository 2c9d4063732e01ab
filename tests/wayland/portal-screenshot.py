#!/usr/bin/python3
"""Asks the desktop's screenshot portal for the whole screen without a dialog; prints the file URI.

The portal sends its Response only to the caller, so the call and the wait share one connection,
and the signal is subscribed to before the call (the reply may come at once)."""
import sys
import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
token = "kaptiv_session_test"
sender = bus.get_unique_name()[1:].replace(".", "_")
handle = "/org/freedesktop/portal/desktop/request/%s/%s" % (sender, token)
loop = GLib.MainLoop()
result = {}


def on_response(code, results):
    result["code"] = int(code)
    result["uri"] = str(results.get("uri", ""))
    loop.quit()


bus.add_signal_receiver(on_response, "Response", "org.freedesktop.portal.Request",
                        "org.freedesktop.portal.Desktop", handle)
portal = dbus.Interface(bus.get_object("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop"),
                        "org.freedesktop.portal.Screenshot")
path = portal.Screenshot("", {"handle_token": dbus.String(token), "interactive": dbus.Boolean(False)},
                         signature="sa{sv}")
if str(path) != handle:
    sys.exit("request path %s, expected %s" % (path, handle))
GLib.timeout_add_seconds(20, loop.quit)
loop.run()
if result.get("code") != 0 or not result["uri"].startswith("file://"):
    sys.exit("portal answered %r" % result if result else "no Response signal within 20 s")
print(result["uri"])
