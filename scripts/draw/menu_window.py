#!/usr/bin/python3
"""Shows the tray menu of a running Sonabar as a desktop's tray host would
draw it, for a screenshot on a display without a tray host: a small panel
with the program's icon at the top left of the screen, and under it a GTK
menu built from the menu the program exports over D-Bus (the labels and
check states that tray_menu.py lists, given here as arguments). An item
"SUBMENU>LABEL STATE" is a radio item of the submenu SUBMENU; the last
submenu is shown open.

  menu_window.py ICON_SVG "LABEL STATE" ...     STATE -1 plain, 0 unchecked, 1 checked"""
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402


def main():
    icon, entries = sys.argv[1], [argument.rsplit(" ", 1) for argument in sys.argv[2:]]
    panel = Gtk.Window(title="panel")
    panel.set_decorated(False)
    panel.move(0, 0)
    panel.set_default_size(240, 30)
    bar = Gtk.Box(orientation=Gtk.Orientation.HORIZONTAL)
    bar.pack_end(Gtk.Image.new_from_pixbuf(
        gi.repository.GdkPixbuf.Pixbuf.new_from_file_at_size(icon, 22, 22)), False, False, 4)
    panel.add(bar)
    menu = Gtk.Menu()
    submenus = {}
    opened = None
    for label, state in entries:
        parent, _, label = label.rpartition(">")
        if state == "-1":
            item = Gtk.MenuItem(label=label)
        else:
            item = Gtk.CheckMenuItem(label=label)
            item.set_draw_as_radio(bool(parent))
            item.set_active(state == "1")
        if parent:
            submenus[parent].append(item)
            continue
        menu.append(item)
        submenus[label] = Gtk.Menu()
        if any(other.startswith(label + ">") for other, _ in entries):
            item.set_submenu(submenus[label])
            opened = item
    menu.show_all()
    panel.show_all()

    def pop():
        menu.popup_at_widget(bar, Gdk.Gravity.SOUTH_EAST, Gdk.Gravity.NORTH_EAST, None)
        if opened is not None:
            menu.select_item(opened)
        return False

    GLib.timeout_add(300, pop)
    Gtk.main()


if __name__ == "__main__":
    gi.require_version("Gdk", "3.0")
    gi.require_version("GdkPixbuf", "2.0")
    from gi.repository import Gdk, GdkPixbuf  # noqa: E402,F401
    main()
