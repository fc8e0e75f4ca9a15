// The desktop shell on Linux: GTK 3 with a StatusNotifier tray item (Ayatana
// AppIndicator, its menu exported over D-Bus). The GLib main loop is the
// message loop; SIGINT, SIGTERM and SIGHUP reach it as quit requests through
// GLib's own signal sources, so no work is done in a signal handler. Without
// a display the program runs on a plain GLib main loop with no tray icon, and
// the start-up failure goes to stderr only (it always goes there).
//
// The menu's check marks: GTK toggles a check item by itself when it is
// activated, and setting a check item activates it. The shell's own states are
// authoritative; each widget is set from them with its handler blocked.
//
// The tray library watches for the tray host and fetches its own connection
// to the session bus at the same time; when the host is seen first (a busy
// start-up), its item never registers and the program would have no icon.
// So the shell connects to the bus before the library does, and an item that
// has not registered a few seconds after start-up while a host is there is
// made anew.
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/about_text.h"
#include "app/app.h"
#include "app/options.h"
#include "app/shell.h"

namespace {

constexpr const char* ICON_NAME = "sonabar";
constexpr const char* TRAY_HOST = "org.kde.StatusNotifierWatcher";
constexpr guint TRAY_LOOK_SECONDS = 2;  // between looks at the item's registration
constexpr int TRAY_LOOKS = 10;
constexpr int TRAY_ANSWER_MS = 1000;    // less than the time between looks
constexpr int TRAY_REMAKES = 3;

struct MenuEntry {
    uint32_t command;
    const char* label;
    bool check;
    uint32_t state;
    GtkWidget* widget;
    gulong handler;
};

MenuEntry g_menu_entries[] = {
    {MENU_ABOUT, "About", false, MENU_UNCHECKED, nullptr, 0},
    {MENU_SIXTEEN, "16-bit", true, MENU_UNCHECKED, nullptr, 0},
    {MENU_PEAK, "Peak", true, MENU_UNCHECKED, nullptr, 0},
    {MENU_EXIT, "Exit", false, MENU_UNCHECKED, nullptr, 0},
};

bool g_have_display;
GMainLoop* g_main_loop;
GMainLoop* g_modal_loop;  // the loop of the dialog that is open, if any
bool g_quit_requested;
int g_quit_code;
AppIndicator* g_indicator;
GDBusConnection* g_session_bus;  // held from before the item exists
guint g_tray_check;              // the looks at the item's registration
int g_tray_looks;
GCancellable* g_tray_question;   // the question to the host, while one is open
AppIndicator* g_stale_indicators[TRAY_REMAKES];
int g_tray_remakes;
GtkWidget* g_menu;
std::string g_icon_dir;  // icons next to an uninstalled binary, or empty

MenuEntry* shell_entry(uint32_t command) {
    for (MenuEntry& entry : g_menu_entries) {
        if (entry.command == command) return &entry;
    }
    return nullptr;
}

gboolean shell_on_signal(gpointer) {
    shell_post_quit(0);
    return G_SOURCE_CONTINUE;
}

void shell_on_activate(GtkMenuItem*, gpointer command) {
    app_command(static_cast<uint32_t>(GPOINTER_TO_UINT(command)));
}

void shell_on_response(GtkDialog*, gint response, gpointer) {
    if (response == GTK_RESPONSE_OK && g_modal_loop != nullptr) g_main_loop_quit(g_modal_loop);
}

// A binary run from its build tree finds its icon in "icons" beside it.
void shell_find_icons() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return;
    path[length] = '\0';
    std::string dir(path);
    dir = dir.substr(0, dir.rfind('/')) + "/icons";
    if (g_file_test(dir.c_str(), G_FILE_TEST_IS_DIR)) {
        g_icon_dir = dir;
        gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), dir.c_str());
    }
}

// Runs `dialog` modally until OK (or Enter) or a quit request; the close box
// and Escape do not close it.
void shell_run_modal(GtkWidget* dialog) {
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    g_signal_connect(dialog, "delete-event", G_CALLBACK(gtk_true), nullptr);
    g_signal_connect(dialog, "response", G_CALLBACK(shell_on_response), nullptr);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_widget_show_all(dialog);
    gtk_window_present(GTK_WINDOW(dialog));
    if (!g_quit_requested) {
        g_modal_loop = g_main_loop_new(nullptr, FALSE);
        g_main_loop_run(g_modal_loop);
        g_main_loop_unref(g_modal_loop);
        g_modal_loop = nullptr;
    }
    gtk_widget_destroy(dialog);
}

void shell_indicator_make() {
    g_indicator = app_indicator_new(ICON_NAME, ICON_NAME, APP_INDICATOR_CATEGORY_HARDWARE);
    if (!g_icon_dir.empty()) app_indicator_set_icon_theme_path(g_indicator, g_icon_dir.c_str());
    app_indicator_set_title(g_indicator, APP_TITLE);
    app_indicator_set_icon_full(g_indicator, ICON_NAME, APP_TITLE);
    if (g_menu != nullptr) {
        app_indicator_set_menu(g_indicator, GTK_MENU(g_menu));
        app_indicator_set_status(g_indicator, APP_INDICATOR_STATUS_ACTIVE);
    }
}

// An item made anew leaves the old one disposed but not freed: the library
// still holds a reference to it that it will never drop.
void shell_indicator_remake() {
    app_indicator_set_status(g_indicator, APP_INDICATOR_STATUS_PASSIVE);
    g_object_run_dispose(G_OBJECT(g_indicator));
    g_stale_indicators[g_tray_remakes++] = g_indicator;
    shell_indicator_make();
}

void shell_tray_stop_looking() {
    if (g_tray_check != 0) g_source_remove(g_tray_check);
    g_tray_check = 0;
}

// Whether the host's list of items holds one of this program's connection:
// hosts list an item as its bus name, alone or followed by its object path.
bool shell_tray_items_hold_ours(GVariant* items) {
    const char* ours = g_dbus_connection_get_unique_name(g_session_bus);
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

// The host answers in order, so a registration sent before the question is
// in the list it answers with.
void shell_on_tray_items(GObject* bus, GAsyncResult* result, gpointer) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
    if (reply == nullptr) {
        // No host: the library registers with one that comes later by itself.
        // A host that does not answer is asked again at the next look.
        if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
            g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)) {
            shell_tray_stop_looking();
        }
        g_error_free(error);
        return;
    }
    GVariant* items = nullptr;
    g_variant_get(reply, "(v)", &items);
    if (shell_tray_items_hold_ours(items)) {
        shell_tray_stop_looking();
    } else {
        shell_indicator_remake();
        if (g_tray_remakes == TRAY_REMAKES) shell_tray_stop_looking();
    }
    g_variant_unref(items);
    g_variant_unref(reply);
}

gboolean shell_on_tray_look(gpointer) {
    gboolean registered = FALSE;
    g_object_get(g_indicator, "connected", &registered, nullptr);
    if (registered || ++g_tray_looks > TRAY_LOOKS) {
        g_tray_check = 0;
        return G_SOURCE_REMOVE;
    }
    g_dbus_connection_call(g_session_bus, TRAY_HOST, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties",
                           "Get", g_variant_new("(ss)", TRAY_HOST, "RegisteredStatusNotifierItems"),
                           G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, TRAY_ANSWER_MS,
                           g_tray_question, shell_on_tray_items, nullptr);
    return G_SOURCE_CONTINUE;
}

}  // namespace

void shell_create_window() {
    g_have_display = gtk_init_check(nullptr, nullptr);
    g_main_loop = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGINT, shell_on_signal, nullptr);
    g_unix_signal_add(SIGTERM, shell_on_signal, nullptr);
    g_unix_signal_add(SIGHUP, shell_on_signal, nullptr);
    if (g_have_display) shell_find_icons();
}

void shell_error_box(const char* text, const char* detail) {
    std::fprintf(stderr, "%s\n", text);
    if (detail != nullptr) std::fprintf(stderr, "%s\n", detail);
    std::fflush(stderr);
    if (!g_have_display) return;
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                               GTK_BUTTONS_OK, "%s", text);
    if (detail != nullptr) {
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", detail);
    }
    gtk_window_set_title(GTK_WINDOW(dialog), APP_TITLE);
    shell_run_modal(dialog);
}

void shell_tray_add() {
    if (!g_have_display) return;
    g_session_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    shell_indicator_make();
    if (g_session_bus != nullptr) {
        g_tray_question = g_cancellable_new();
        g_tray_check = g_timeout_add_seconds(TRAY_LOOK_SECONDS, shell_on_tray_look, nullptr);
    }
}

void shell_tray_remove() {
    shell_tray_stop_looking();
    if (g_tray_question != nullptr) {
        g_cancellable_cancel(g_tray_question);
        g_object_unref(g_tray_question);
        g_tray_question = nullptr;
    }
    if (g_indicator != nullptr) {
        app_indicator_set_status(g_indicator, APP_INDICATOR_STATUS_PASSIVE);
        g_object_unref(g_indicator);
        g_indicator = nullptr;
    }
    if (g_session_bus != nullptr) g_object_unref(g_session_bus);
    g_session_bus = nullptr;
}

int shell_menu_load() {
    for (MenuEntry& entry : g_menu_entries) entry.state = MENU_UNCHECKED;
    if (!g_have_display) return 0;  // no tray: the states alone
    g_menu = gtk_menu_new();
    g_object_ref_sink(g_menu);
    for (MenuEntry& entry : g_menu_entries) {
        entry.widget = entry.check ? gtk_check_menu_item_new_with_label(entry.label)
                                   : gtk_menu_item_new_with_label(entry.label);
        entry.handler = g_signal_connect(entry.widget, "activate", G_CALLBACK(shell_on_activate),
                                         GUINT_TO_POINTER(entry.command));
        gtk_menu_shell_append(GTK_MENU_SHELL(g_menu), entry.widget);
    }
    gtk_widget_show_all(g_menu);
    if (g_indicator != nullptr) {
        app_indicator_set_menu(g_indicator, GTK_MENU(g_menu));
        app_indicator_set_status(g_indicator, APP_INDICATOR_STATUS_ACTIVE);
    }
    return 0;
}

void shell_menu_destroy() {
    if (g_menu == nullptr) return;
    gtk_widget_destroy(g_menu);
    g_object_unref(g_menu);
    g_menu = nullptr;
    for (MenuEntry& entry : g_menu_entries) {
        entry.widget = nullptr;
        entry.handler = 0;
    }
}

uint32_t shell_menu_state(uint32_t command) {
    MenuEntry* entry = shell_entry(command);
    return entry != nullptr ? entry->state : MENU_UNCHECKED;
}

void shell_menu_set_state(uint32_t command, uint32_t state) {
    MenuEntry* entry = shell_entry(command);
    if (entry == nullptr) return;
    entry->state = state;
    if (entry->widget == nullptr || !entry->check) return;
    g_signal_handler_block(entry->widget, entry->handler);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(entry->widget), state == MENU_CHECKED);
    g_signal_handler_unblock(entry->widget, entry->handler);
}

void shell_run_about() {
    if (!g_have_display) return;
    GtkWidget* dialog = gtk_dialog_new_with_buttons(ABOUT_CAPTION, nullptr, GTK_DIALOG_MODAL, "_OK",
                                                    GTK_RESPONSE_OK, nullptr);
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(row), 12);
    GtkWidget* icon = gtk_image_new_from_icon_name(ICON_NAME, GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(icon, GTK_ALIGN_START);
    GtkWidget* text = gtk_label_new(ABOUT_TEXT_LINUX);
    gtk_label_set_xalign(GTK_LABEL(text), 0.0f);
    gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), text, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row, TRUE, TRUE, 0);
    shell_run_modal(dialog);
}

void shell_post_quit(int code) {
    if (!g_quit_requested) {
        g_quit_requested = true;
        g_quit_code = code;
    }
    if (g_modal_loop != nullptr) g_main_loop_quit(g_modal_loop);
    if (g_main_loop != nullptr) g_main_loop_quit(g_main_loop);
}

int shell_message_loop() {
    // A quit posted before the loop runs (a signal during start-up) ends it at once.
    if (!g_quit_requested) g_main_loop_run(g_main_loop);
    return g_quit_code;
}
