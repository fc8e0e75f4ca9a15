// Watching the tray host after start-up, on Linux: the StatusNotifier item is
// made anew when the host missed it, and one line on stderr says so when
// there is no tray at all to show the icon. Runs on the UI thread's main loop.
#pragma once
#include <gio/gio.h>
#include <libayatana-appindicator/app-indicator.h>

// Makes the tray item, with its icon and menu; returns it.
typedef AppIndicator* (*TrayItemMaker)();

// Starts looking at `*item` a few seconds after start-up over `bus` (the
// program's own connection); a new item made with `make` replaces `*item`.
void tray_host_watch(GDBusConnection* bus, AppIndicator** item, TrayItemMaker make);
// Stops looking and drops a question still open; before the item goes.
void tray_host_unwatch();

// Says on stderr, once per run, that the program runs without a tray icon
// (`situation` says why) and how to end it.
void tray_host_tell_no_icon(const char* situation);
