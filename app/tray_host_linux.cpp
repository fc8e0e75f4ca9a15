// Watching the tray host after start-up.
//
// Why the item is made anew: the tray library watches for the tray host and
// fetches its own connection to the session bus at the same time; when the
// host is seen first (a busy start-up), its item never registers and the
// program would have no icon for the whole run. So the shell connects to the
// bus before the library does, and here, a few seconds after start-up, an
// item that has not registered while a host is there is made anew (a few
// times at most). The host is asked for its list of items rather than
// trusted to have none of ours: a registration still on its way is in the
// list it answers with, since the host answers in order.
//
// Why a line when there is no host: without one the icon never shows, and
// the program, which has no window, could only be ended by a signal that the
// user does not know about. When a host starts later, the library registers
// the item with it by itself and the icon appears. Without a StatusNotifier
// host the library falls back to the older X11 system tray, so the line is
// left out when one of those is there.
#include "app/tray_host_linux.h"

#include <gdk/gdkx.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/tell.h"

namespace {

constexpr const char* TRAY_HOST = "org.kde.StatusNotifierWatcher";
constexpr guint TRAY_LOOK_SECONDS = 2;  // between looks at the item's registration
constexpr int TRAY_LOOKS = 10;
constexpr int TRAY_ANSWER_MS = 1000;    // less than the time between looks
constexpr int TRAY_REMAKES = 3;

GDBusConnection* g_bus;
AppIndicator** g_item;
TrayItemMaker g_make;
guint g_tray_check;             // the looks at the item's registration
int g_tray_looks;
GCancellable* g_tray_question;  // the question to the host, while one is open
AppIndicator* g_stale_items[TRAY_REMAKES];
int g_tray_remakes;
bool g_told_no_icon;

void tray_host_stop_looking() {
    if (g_tray_check != 0) g_source_remove(g_tray_check);
    g_tray_check = 0;
}

// An item made anew leaves the old one disposed but not freed: the library
// still holds a reference to it that it will never drop.
void tray_host_remake() {
    app_indicator_set_status(*g_item, APP_INDICATOR_STATUS_PASSIVE);
    g_object_run_dispose(G_OBJECT(*g_item));
    g_stale_items[g_tray_remakes++] = *g_item;
    *g_item = g_make();
}

// Whether an X11 system tray (the library's fallback) is on the display.
bool tray_host_x11_tray() {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return false;
    char selection[64];
    std::snprintf(selection, sizeof selection, "_NET_SYSTEM_TRAY_S%d",
                  gdk_x11_screen_get_screen_number(gdk_display_get_default_screen(display)));
    return XGetSelectionOwner(gdk_x11_display_get_xdisplay(display),
                              gdk_x11_get_xatom_by_name_for_display(display, selection)) != None;
}

// Whether the host's list of items holds one of this program's connection:
// hosts list an item as its bus name, alone or followed by its object path.
bool tray_host_items_hold_ours(GVariant* items) {
    const char* ours = g_dbus_connection_get_unique_name(g_bus);
    size_t length = ours != nullptr ? strlen(ours) : 0;
    if (length == 0 || !g_variant_is_of_type(items, G_VARIANT_TYPE_STRING_ARRAY)) return false;
    GVariantIter iter;
    const char* item = nullptr;
    g_variant_iter_init(&iter, items);
    while (g_variant_iter_next(&iter, "&s", &item)) {
        if (strncmp(item, ours, length) == 0 && (item[length] == '\0' || item[length] == '/')) return true;
    }
    return false;
}

void tray_host_on_items(GObject* bus, GAsyncResult* result, gpointer) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
    if (reply == nullptr) {
        // No host: the library registers with one that comes later by itself.
        // A host that does not answer is asked again at the next look.
        if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
            g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)) {
            tray_host_stop_looking();
            if (!tray_host_x11_tray()) {
                tray_host_tell_no_icon("no system tray is running, so Sonabar runs without its icon "
                                       "(it appears when a tray starts)");
            }
        }
        g_error_free(error);
        return;
    }
    GVariant* items = nullptr;
    g_variant_get(reply, "(v)", &items);
    if (tray_host_items_hold_ours(items)) {
        tray_host_stop_looking();
    } else {
        tray_host_remake();
        if (g_tray_remakes == TRAY_REMAKES) tray_host_stop_looking();
    }
    g_variant_unref(items);
    g_variant_unref(reply);
}

gboolean tray_host_on_look(gpointer) {
    gboolean registered = FALSE;
    g_object_get(*g_item, "connected", &registered, nullptr);
    if (registered || ++g_tray_looks > TRAY_LOOKS) {
        g_tray_check = 0;
        return G_SOURCE_REMOVE;
    }
    g_dbus_connection_call(g_bus, TRAY_HOST, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", TRAY_HOST, "RegisteredStatusNotifierItems"),
                           G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, TRAY_ANSWER_MS,
                           g_tray_question, tray_host_on_items, nullptr);
    return G_SOURCE_CONTINUE;
}

}  // namespace

void tray_host_watch(GDBusConnection* bus, AppIndicator** item, TrayItemMaker make) {
    g_bus = bus;
    g_item = item;
    g_make = make;
    g_tray_question = g_cancellable_new();
    g_tray_check = g_timeout_add_seconds(TRAY_LOOK_SECONDS, tray_host_on_look, nullptr);
}

void tray_host_unwatch() {
    tray_host_stop_looking();
    if (g_tray_question != nullptr) {
        g_cancellable_cancel(g_tray_question);
        g_object_unref(g_tray_question);
        g_tray_question = nullptr;
    }
    g_bus = nullptr;
    g_item = nullptr;
}

void tray_host_tell_no_icon(const char* situation) {
    if (g_told_no_icon) return;
    g_told_no_icon = true;
    tell("sonabar: %s; end it with Ctrl-C, or with: kill %d", situation, static_cast<int>(getpid()));
}
