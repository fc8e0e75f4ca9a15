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
// Without a session bus there can be no tray item: the program says so in
// one line and runs without one, rather than letting the tray library warn.
// The icons are built into the program, so that a binary run from anywhere
// shows them: GTK finds them among the program's resources, and the tray
// host, another process, in a copy written to a folder of this process's own
// under the user's runtime folder, removed when the tray item goes. An icon
// installed in the desktop's theme may still take precedence.
//
// The item's title (which panels show as its tooltip) and its icon's
// description say what is heard, at what sensitivity and on how many LEDs,
// or why no sound comes, and the icon is greyed while none does. They change
// only when that changes: after a menu command, and when the capture's
// watcher, on a recording thread, says the sound was lost or is back (it
// writes to an eventfd that the main loop watches: no lock, no allocation).
//
// Every dialog closes with OK, Enter, Escape and the window's close button
// (or Alt+F4, which the window manager turns into the same request).
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/about_text.h"
#include "app/app.h"
#include "app/choices.h"
#include "app/options.h"
#include "app/shell.h"
#include "app/tray_host_linux.h"
#include "audio/capture_linux.h"
#include "base/shared_text.h"

#ifndef SONABAR_VERSION
#define SONABAR_VERSION "unknown"
#endif

namespace {

constexpr const char* ICON_NAME = "sonabar";
constexpr const char* ICON_NO_SOUND = "sonabar-no-sound";  // the same bar, greyed
constexpr const char* ICON_RESOURCES = "/org/sonabar/icons";
constexpr const char* ICON_FOLDER_PREFIX = "sonabar-icons-";  // then the process number
constexpr const char* ICON_SUBFOLDERS[] = {"/hicolor", "/scalable", "/apps"};  // of a theme, outermost first

enum EntryKind { ENTRY_PLAIN, ENTRY_CHECK, ENTRY_RADIO, ENTRY_SEPARATOR };
enum EntryPlace { PLACE_MENU, PLACE_LISTEN, PLACE_SENSITIVITY };

struct MenuEntry {
    uint32_t command;
    const char* label;
    EntryKind kind;
    EntryPlace place;
    uint32_t state;
    GtkWidget* widget;
    gulong handler;
};

constexpr const char* SUBMENU_LABELS[] = {nullptr, "Listen to", "Sensitivity"};

MenuEntry g_menu_entries[5 + 3 + 2 * CHOICE_ITEMS_MAX];  // the design's items, Start at login, separators, choices
int g_menu_entry_count;

bool g_have_display;
GMainLoop* g_main_loop;
GMainLoop* g_modal_loop;  // the loop of the dialog that is open, if any
bool g_quit_requested;
int g_quit_code;
AppIndicator* g_indicator;
GDBusConnection* g_session_bus;  // held from before the item exists
GtkWidget* g_menu;
std::string g_icon_dir;  // the tray host's copy of the icons, or empty
char g_tip[SHARED_TEXT_SIZE + 64] = "Sonabar";  // the item's title and its icon's description
bool g_no_sound;                                 // the greyed icon is shown
int g_sound_changes = -1;  // an eventfd: the capture's watcher says the sound was lost or is back
guint g_sound_watch;

// The item of `command` (a separator is no item).
MenuEntry* shell_entry(uint32_t command) {
    for (int i = 0; i < g_menu_entry_count; ++i) {
        MenuEntry& entry = g_menu_entries[i];
        if (entry.command == command && entry.kind != ENTRY_SEPARATOR) return &entry;
    }
    return nullptr;
}

void shell_add_entry(uint32_t command, const char* label, EntryKind kind, EntryPlace place) {
    g_menu_entries[g_menu_entry_count++] = {command, label, kind, place, MENU_UNCHECKED, nullptr, 0};
}

void shell_add_choices(const ChoiceItem* items, int count, EntryPlace place) {
    for (int i = 0; i < count; ++i) shell_add_entry(items[i].command, items[i].label, ENTRY_RADIO, place);
}

void shell_add_separator() { shell_add_entry(0, nullptr, ENTRY_SEPARATOR, PLACE_MENU); }

gboolean shell_on_signal(gpointer) {
    shell_post_quit(0);
    return G_SOURCE_CONTINUE;
}

void shell_tray_show(AppIndicator* indicator) {
    app_indicator_set_title(indicator, g_tip);
    app_indicator_set_icon_full(indicator, g_no_sound ? ICON_NO_SOUND : ICON_NAME, g_tip);
}

// The tip and the icon from the choices and the capture, shown when they changed.
void shell_tray_refresh() {
    char cause[SHARED_TEXT_SIZE];
    int32_t sound = capture_lost_cause(cause, sizeof cause);
    if (sound == CAPTURE_CHANGING) return;  // the watcher calls again once it has changed
    char tip[sizeof g_tip];
    choices_describe(g_sixteen_mode.load(std::memory_order_relaxed) != 0, sound == CAPTURE_LOST ? cause : nullptr,
                     tip, sizeof tip);
    if (std::strcmp(tip, g_tip) == 0) return;
    std::memcpy(g_tip, tip, sizeof g_tip);
    g_no_sound = sound == CAPTURE_LOST;
    if (g_indicator != nullptr) shell_tray_show(g_indicator);
}

// The capture's watcher, on a recording thread: wakes the main loop.
void shell_on_sound_change() {
    const uint64_t one = 1;
    ssize_t written = write(g_sound_changes, &one, sizeof one);
    (void)written;  // a full counter has woken the loop already
}

gboolean shell_on_sound_changed(gint fd, GIOCondition, gpointer) {
    uint64_t count = 0;
    ssize_t got = read(fd, &count, sizeof count);
    (void)got;
    shell_tray_refresh();
    return G_SOURCE_CONTINUE;
}

void shell_on_activate(GtkMenuItem*, gpointer command) {
    app_command(static_cast<uint32_t>(GPOINTER_TO_UINT(command)));
    shell_tray_refresh();
}

// OK, Enter, Escape, the close button: every answer closes the box.
void shell_on_response(GtkDialog*, gint, gpointer) {
    if (g_modal_loop != nullptr) g_main_loop_quit(g_modal_loop);
}

// Removes a copy of the icons at `theme`, innermost first.
void shell_remove_icon_copy(const std::string& theme) {
    std::string folders[4] = {theme};
    for (int i = 0; i < 3; ++i) folders[i + 1] = folders[i] + ICON_SUBFOLDERS[i];
    for (const char* name : {ICON_NAME, ICON_NO_SOUND}) unlink((folders[3] + "/" + name + ".svg").c_str());
    for (int i = 3; i >= 0; --i) rmdir(folders[i].c_str());
}

void shell_remove_icons() {
    if (g_icon_dir.empty()) return;
    shell_remove_icon_copy(g_icon_dir);
    g_icon_dir.clear();
}

// The copies that programs ended by force (SIGKILL, a crash) left behind:
// those of process numbers that no longer run.
void shell_remove_stale_icons() {
    GDir* runtime = g_dir_open(g_get_user_runtime_dir(), 0, nullptr);
    if (runtime == nullptr) return;
    const size_t prefix = std::strlen(ICON_FOLDER_PREFIX);
    while (const char* name = g_dir_read_name(runtime)) {
        if (std::strncmp(name, ICON_FOLDER_PREFIX, prefix) != 0) continue;
        char* end = nullptr;
        long pid = std::strtol(name + prefix, &end, 10);
        if (pid <= 0 || *end != '\0' || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        shell_remove_icon_copy(std::string(g_get_user_runtime_dir()) + "/" + name);
    }
    g_dir_close(runtime);
}

// The tray host's copy of the icons, in a theme folder of this process's own
// under the runtime folder: $XDG_RUNTIME_DIR/sonabar-icons-PID/hicolor/scalable/apps.
void shell_write_icons() {
    shell_remove_stale_icons();
    std::string theme = std::string(g_get_user_runtime_dir()) + "/" + ICON_FOLDER_PREFIX + std::to_string(getpid());
    std::string apps = theme;
    for (const char* folder : ICON_SUBFOLDERS) apps += folder;
    if (g_mkdir_with_parents(apps.c_str(), 0700) != 0) return;
    g_icon_dir = theme;
    for (const char* name : {ICON_NAME, ICON_NO_SOUND}) {
        std::string file = std::string("/") + name + ".svg";
        GBytes* svg = g_resources_lookup_data((std::string(ICON_RESOURCES) + "/scalable/apps" + file).c_str(),
                                              G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
        if (svg == nullptr) continue;
        gsize size = 0;
        const gchar* data = static_cast<const gchar*>(g_bytes_get_data(svg, &size));
        g_file_set_contents((apps + file).c_str(), data, static_cast<gssize>(size), nullptr);
        g_bytes_unref(svg);
    }
}

// Runs `dialog` modally until it is answered (OK, Enter, Escape, its close
// button) or a quit request comes.
void shell_run_modal(GtkWidget* dialog) {
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    // The dialog answers a close request itself; this keeps GTK from
    // destroying it as well, since it is destroyed below.
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

AppIndicator* shell_indicator_make() {
    AppIndicator* indicator = app_indicator_new(ICON_NAME, ICON_NAME, APP_INDICATOR_CATEGORY_HARDWARE);
    if (!g_icon_dir.empty()) app_indicator_set_icon_theme_path(indicator, g_icon_dir.c_str());
    shell_tray_show(indicator);
    if (g_menu != nullptr) {
        app_indicator_set_menu(indicator, GTK_MENU(g_menu));
        app_indicator_set_status(indicator, APP_INDICATOR_STATUS_ACTIVE);
    }
    return indicator;
}

GtkWidget* shell_entry_widget(MenuEntry& entry) {
    if (entry.kind == ENTRY_SEPARATOR) return gtk_separator_menu_item_new();
    if (entry.kind == ENTRY_PLAIN) return gtk_menu_item_new_with_label(entry.label);
    GtkWidget* widget = gtk_check_menu_item_new_with_label(entry.label);
    gtk_check_menu_item_set_draw_as_radio(GTK_CHECK_MENU_ITEM(widget), entry.kind == ENTRY_RADIO);
    return widget;
}

}  // namespace

void shell_create_window() {
    g_have_display = gtk_init_check(nullptr, nullptr);
    g_main_loop = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGINT, shell_on_signal, nullptr);
    g_unix_signal_add(SIGTERM, shell_on_signal, nullptr);
    g_unix_signal_add(SIGHUP, shell_on_signal, nullptr);
    if (!g_have_display) return;
    // GTK finds the icons among the program's resources: the dialogs' title bars show it.
    gtk_icon_theme_add_resource_path(gtk_icon_theme_get_default(), ICON_RESOURCES);
    gtk_window_set_default_icon_name(ICON_NAME);
}

void shell_error_box(const char* text, const char* detail) {
    std::fprintf(stderr, "%s\n", text);
    if (detail != nullptr) std::fprintf(stderr, "%s\n", detail);
    std::fflush(stderr);
    if (!g_have_display) return;
    // The heading's path on a line of its own, so that it is not broken in the middle of a word.
    std::string heading = text;
    size_t path = heading.find(" /");
    if (path != std::string::npos) heading[path] = '\n';
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                               GTK_BUTTONS_OK, "%s", heading.c_str());
    if (detail != nullptr) {
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", detail);
    }
    gtk_window_set_title(GTK_WINDOW(dialog), APP_TITLE);
    shell_run_modal(dialog);
}

void shell_tray_add() {
    if (!g_have_display) return;
    GError* error = nullptr;
    g_session_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (g_session_bus == nullptr) {
        std::string situation = std::string("no session bus (") + error->message +
                                "), so Sonabar runs without a tray icon";
        g_error_free(error);
        tray_host_tell_no_icon(situation.c_str());
        return;
    }
    shell_write_icons();
    g_indicator = shell_indicator_make();
    tray_host_watch(g_session_bus, &g_indicator, shell_indicator_make);
    g_sound_changes = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (g_sound_changes >= 0) {
        g_sound_watch = g_unix_fd_add(g_sound_changes, G_IO_IN, shell_on_sound_changed, nullptr);
        capture_watch(shell_on_sound_change);
    }
}

void shell_tray_remove() {
    if (g_sound_changes >= 0) {
        capture_watch(nullptr);
        g_source_remove(g_sound_watch);
        close(g_sound_changes);
        g_sound_changes = -1;
    }
    tray_host_unwatch();
    if (g_indicator != nullptr) {
        app_indicator_set_status(g_indicator, APP_INDICATOR_STATUS_PASSIVE);
        g_object_unref(g_indicator);
        g_indicator = nullptr;
    }
    if (g_session_bus != nullptr) g_object_unref(g_session_bus);
    g_session_bus = nullptr;
    shell_remove_icons();
}

// The design's four items, with the two submenus of choices and "Start at
// login" before "Exit", and a separator between the groups.
int shell_menu_load() {
    ChoiceItem choices[CHOICE_ITEMS_MAX];
    g_menu_entry_count = 0;
    shell_add_entry(MENU_ABOUT, "About", ENTRY_PLAIN, PLACE_MENU);
    shell_add_separator();
    shell_add_entry(MENU_SIXTEEN, "16-bit", ENTRY_CHECK, PLACE_MENU);
    shell_add_entry(MENU_PEAK, "Peak", ENTRY_CHECK, PLACE_MENU);
    shell_add_separator();
    shell_add_choices(choices, choices_listen_items(choices), PLACE_LISTEN);
    shell_add_choices(choices, choices_gain_items(choices), PLACE_SENSITIVITY);
    shell_add_separator();
    shell_add_entry(MENU_START_AT_LOGIN, "Start at login", ENTRY_CHECK, PLACE_MENU);
    shell_add_entry(MENU_EXIT, "Exit", ENTRY_PLAIN, PLACE_MENU);
    if (!g_have_display) return 0;  // no tray: the states alone
    g_menu = gtk_menu_new();
    g_object_ref_sink(g_menu);
    GtkWidget* submenu = nullptr;
    EntryPlace place = PLACE_MENU;
    for (int i = 0; i < g_menu_entry_count; ++i) {
        MenuEntry& entry = g_menu_entries[i];
        if (entry.place != place && entry.place != PLACE_MENU) {
            GtkWidget* opener = gtk_menu_item_new_with_label(SUBMENU_LABELS[entry.place]);
            submenu = gtk_menu_new();
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(opener), submenu);
            gtk_menu_shell_append(GTK_MENU_SHELL(g_menu), opener);
        }
        place = entry.place;
        entry.widget = shell_entry_widget(entry);
        if (entry.kind != ENTRY_SEPARATOR) {
            entry.handler = g_signal_connect(entry.widget, "activate", G_CALLBACK(shell_on_activate),
                                             GUINT_TO_POINTER(entry.command));
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(place == PLACE_MENU ? g_menu : submenu), entry.widget);
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
    for (int i = 0; i < g_menu_entry_count; ++i) {
        g_menu_entries[i].widget = nullptr;
        g_menu_entries[i].handler = 0;
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
    if (entry->widget == nullptr || entry->kind == ENTRY_PLAIN) return;
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
    GtkWidget* text = gtk_label_new(ABOUT_TEXT_LINUX(SONABAR_VERSION));
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
    shell_tray_refresh();  // everything the tip tells is set by now
    // A quit posted before the loop runs (a signal during start-up) ends it at once.
    if (!g_quit_requested) g_main_loop_run(g_main_loop);
    return g_quit_code;
}
