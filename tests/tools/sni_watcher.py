#!/usr/bin/python3
"""A stand-in StatusNotifierWatcher for the tray tests: owns the watcher's
well-known name on the session bus, accepts item and host registrations, and
writes the registered items, one per line, to the file given as argument."""
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"


class Watcher(dbus.service.Object):
    def __init__(self, bus, items_file):
        self.items = []
        self.items_file = items_file
        self.name = dbus.service.BusName(WATCHER, bus)
        super().__init__(bus, "/StatusNotifierWatcher")

    @dbus.service.method(WATCHER, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item names its object path, its bus name, or both.
        if service.startswith("/"):
            item = sender + service
        elif "/" in service:
            item = service
        else:
            item = service + "/StatusNotifierItem"
        if item not in self.items:
            self.items.append(item)
            with open(self.items_file, "w") as f:
                f.write("\n".join(self.items) + "\n")
        self.StatusNotifierItemRegistered(item)

    @dbus.service.method(WATCHER, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, item):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        return self.GetAll(interface)[prop]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": True,
            "ProtocolVersion": dbus.Int32(0),
        }


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    watcher = Watcher(dbus.SessionBus(), sys.argv[1])
    del watcher  # kept alive by the bus connection
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
