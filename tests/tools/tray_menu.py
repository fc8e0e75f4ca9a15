#!/usr/bin/python3
"""Drives a tray item's menu over D-Bus for the tray tests, as a tray host
would: finds the item registered with the stand-in watcher, reads its menu
layout (dbusmenu GetLayout) and clicks items by label (dbusmenu Event).

  tray_menu.py ITEMS_FILE list [SUBMENU]   prints "label toggle-state" per item of the
                                          menu ("---" for a separator), or "label
                                          toggle-type toggle-state" per item of the
                                          submenu with that label
  tray_menu.py ITEMS_FILE click LABEL      clicks the item with that label (in any submenu)
  tray_menu.py ITEMS_FILE click_time LABEL the same, and prints when it was sent (monotonic clock)
  tray_menu.py ITEMS_FILE state LABEL      prints the item's toggle-state
  tray_menu.py ITEMS_FILE tip              prints "icon name|title|icon's accessible description"
  tray_menu.py ITEMS_FILE icon             prints the item's icon name and icon theme path
Waits up to 10 s for the item to register."""
import sys
import time

import dbus

ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"


def find_item(items_file):
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            with open(items_file) as f:
                lines = [line.strip() for line in f if line.strip()]
            if lines:
                service, _, path = lines[-1].partition("/")
                return service, "/" + path
        except FileNotFoundError:
            pass
        time.sleep(0.1)
    sys.exit("no tray item registered")


def layout_items(bus, service, menu_path):
    """The menu and its items as (id, label, toggle-state, toggle-type, parent label), submenus' too."""
    menu = dbus.Interface(bus.get_object(service, menu_path), MENU)
    _, (_, _, children) = menu.GetLayout(0, -1, [])
    items = []

    def walk(nodes, parent):
        for child in nodes:
            item_id, props, grandchildren = child
            label = "---" if props.get("type") == "separator" else str(props.get("label", ""))
            items.append((int(item_id), label, int(props.get("toggle-state", -1)),
                          str(props.get("toggle-type", "")), parent))
            walk(grandchildren, label)

    walk(children, None)
    return menu, items


def main():
    items_file, command = sys.argv[1], sys.argv[2]
    bus = dbus.SessionBus()
    service, path = find_item(items_file)
    props = dbus.Interface(bus.get_object(service, path), dbus.PROPERTIES_IFACE)
    if command == "tip":
        print("|".join(str(props.Get(ITEM, name)) for name in ("IconName", "Title", "IconAccessibleDesc")))
        return
    if command == "icon":
        print(props.Get(ITEM, "IconName"), props.Get(ITEM, "IconThemePath"))
        return
    menu_path = props.Get(ITEM, "Menu")
    menu, items = layout_items(bus, service, menu_path)
    if command == "list":
        submenu = sys.argv[3] if len(sys.argv) > 3 else None
        for _, label, state, kind, parent in items:
            if parent == submenu and submenu is None:
                print(label, state)
            elif parent == submenu:
                print(label, kind, state)
        return
    label = sys.argv[3]
    matches = [item for item in items if item[1] == label]
    if not matches:
        sys.exit("no menu item labelled %r in %r" % (label, [item[1] for item in items]))
    item_id, _, state, _, _ = matches[0]
    if command == "state":
        print(state)
    elif command in ("click", "click_time"):
        sent = time.monotonic()
        menu.Event(item_id, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(int(time.time())))
        if command == "click_time":
            print("%.6f" % sent)
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
