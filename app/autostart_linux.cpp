// "Start at login" on Linux. The entry Sonabar writes is marked as its own
// (X-Sonabar-Tray=true); its Exec line starts this program - the installed
// "sonabar" when that is what runs, else this program's absolute path - with
// the -port= and -device= of this run, while the settings file holds the
// rest. Switched off, Sonabar's own entry is deleted. An entry of the same
// name without the mark is the user's own (the installed example copied by
// hand, options on its Exec line): switched off it is hidden with
// Hidden=true, and switched on again that key alone is removed, so that the
// user's Exec line and options survive. Entries of other names are never
// touched.
#include "app/autostart.h"

#include <glib/gstdio.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/key_file_linux.h"
#include "base/tell.h"

namespace {

constexpr const char* OWN_MARK = "X-Sonabar-Tray";
constexpr const char* HIDDEN = "Hidden";

std::string g_options;  // " -port=... -device=...", quoted for the Exec line

std::string autostart_path() { return key_file_path("autostart", "sonabar.desktop"); }

bool autostart_flag(GKeyFile* entry, const char* key) {
    return g_key_file_get_boolean(entry, G_KEY_FILE_DESKTOP_GROUP, key, nullptr);
}

// One argument of an Exec line: as it is when it holds none of the
// characters the line reserves, else in double quotes with a backslash
// before each ", `, $ and backslash; a % is doubled either way. (GKeyFile
// then escapes the backslashes once more, as the line's string value.)
std::string autostart_quote(const std::string& argument) {
    bool plain = argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos;
    std::string quoted = plain ? "" : "\"";
    for (char c : argument) {
        if (c == '%') quoted += '%';
        if (!plain && std::strchr("\"`$\\", c) != nullptr) quoted += '\\';
        quoted += c;
    }
    return plain ? quoted : quoted + "\"";
}

// What starts this program: "sonabar" when the PATH finds this very program
// under that name, else its absolute path.
std::string autostart_program() {
    char* self = realpath("/proc/self/exe", nullptr);
    gchar* found = g_find_program_in_path("sonabar");
    char* installed = found != nullptr ? realpath(found, nullptr) : nullptr;
    bool as_installed = self == nullptr || (installed != nullptr && std::strcmp(self, installed) == 0);
    std::string program = as_installed ? "sonabar" : autostart_quote(self);
    std::free(installed);
    g_free(found);
    std::free(self);
    return program;
}

int autostart_write_own(const std::string& path, std::string* reason) {
    GKeyFile* entry = g_key_file_new();
    const char* group = G_KEY_FILE_DESKTOP_GROUP;
    g_key_file_set_string(entry, group, G_KEY_FILE_DESKTOP_KEY_TYPE, G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
    g_key_file_set_string(entry, group, G_KEY_FILE_DESKTOP_KEY_NAME, "Sonabar");
    g_key_file_set_string(entry, group, G_KEY_FILE_DESKTOP_KEY_COMMENT,
                          "Show the sound level on LEDs wired to the parallel port");
    g_key_file_set_string(entry, group, G_KEY_FILE_DESKTOP_KEY_EXEC, (autostart_program() + g_options).c_str());
    g_key_file_set_string(entry, group, G_KEY_FILE_DESKTOP_KEY_ICON, "sonabar");
    g_key_file_set_boolean(entry, group, G_KEY_FILE_DESKTOP_KEY_TERMINAL, FALSE);
    g_key_file_set_boolean(entry, group, OWN_MARK, TRUE);
    int result = key_file_save(path, entry, reason);
    g_key_file_free(entry);
    return result;
}

}  // namespace

void autostart_use_options(const char* port, const char* device) {
    g_options.clear();
    if (port != nullptr) g_options += " " + autostart_quote(std::string("-port=") + port);
    if (device != nullptr) g_options += " " + autostart_quote(std::string("-device=") + device);
}

bool autostart_on() {
    GKeyFile* entry = g_key_file_new();
    std::string reason;
    KeyFileRead read = key_file_load(autostart_path(), entry, &reason);
    bool on = read != KEY_FILE_MISSING && !(read == KEY_FILE_READ && autostart_flag(entry, HIDDEN));
    g_key_file_free(entry);
    return on;
}

void autostart_switch(bool on) {
    std::string path = autostart_path();
    GKeyFile* entry = g_key_file_new();
    std::string reason;
    int failed = 0;
    switch (key_file_load(path, entry, &reason)) {
        case KEY_FILE_MISSING:
            if (on) failed = autostart_write_own(path, &reason);
            break;
        case KEY_FILE_READ:
            if (on && autostart_flag(entry, HIDDEN)) {
                g_key_file_remove_key(entry, G_KEY_FILE_DESKTOP_GROUP, HIDDEN, nullptr);
                failed = key_file_save(path, entry, &reason);
            } else if (!on && autostart_flag(entry, OWN_MARK)) {
                failed = g_unlink(path.c_str()) != 0;
                if (failed) reason = g_strerror(errno);
            } else if (!on && !autostart_flag(entry, HIDDEN)) {
                g_key_file_set_boolean(entry, G_KEY_FILE_DESKTOP_GROUP, HIDDEN, TRUE);
                failed = key_file_save(path, entry, &reason);
            }
            break;
        case KEY_FILE_UNREADABLE:
            failed = 1;
            break;
        case KEY_FILE_NOT_KEY_FILE:
            failed = 1;
            reason = "it is not a desktop entry";
            break;
    }
    if (failed) tell("sonabar: cannot change %s (%s)", key_file_shown(path).c_str(), reason.c_str());
    g_key_file_free(entry);
}
