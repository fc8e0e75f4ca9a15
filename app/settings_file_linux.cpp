// The settings file on Linux: a key file people can edit, whose [Sonabar]
// group holds the keys of app/settings.h. Each write reads the file afresh
// and changes one key, so that the user's comments, other keys and groups,
// and edits made while the program runs, all stay. A bad value or an
// unknown key is told and skipped, and the other keys apply. A file that is
// no key file, or cannot be read, gives the defaults and is left exactly as
// it is until a choice must be written: it is then set aside under the first
// free name of sonabar.conf.bad, sonabar.conf.bad.1, ... and a new file
// begun. A write that fails (a folder that cannot be written, a full disk)
// leaves the old file whole, and is told the first time in a run only.
#include "app/settings_file.h"

#include <glib/gstdio.h>

#include <cerrno>
#include <string>

#include "app/key_file_linux.h"
#include "base/tell.h"

namespace {

bool g_told_write_failure;

std::string settings_file_path() { return key_file_path("sonabar", "sonabar.conf"); }

void settings_file_tell_write_failure(const std::string& path, const std::string& reason) {
    if (g_told_write_failure) return;
    g_told_write_failure = true;
    tell("sonabar: cannot write %s (%s): the choice holds for this run only (further failures to write it are "
         "not told)",
         key_file_shown(path).c_str(), reason.c_str());
}

// Takes the keys of the group into `settings`, telling each one it cannot use.
void settings_file_take(GKeyFile* file, const std::string& path, Settings* settings) {
    gchar** keys = g_key_file_get_keys(file, SETTINGS_GROUP, nullptr, nullptr);
    for (gchar** key = keys; key != nullptr && *key != nullptr; ++key) {
        gchar* value = g_key_file_get_value(file, SETTINGS_GROUP, *key, nullptr);
        g_strchomp(value);  // GKeyFile keeps the blanks at the end of a line
        const char* problem = nullptr;
        if (settings_take(*key, value, settings, &problem) != SETTING_TAKEN) {
            tell("sonabar: %s: %s=%s %s", key_file_shown(path).c_str(), *key, value, problem);
        }
        g_free(value);
    }
    g_strfreev(keys);
}

// Renames the file that cannot be used to the first free name of
// PATH.bad, PATH.bad.1, ...; false (told) when it cannot be.
bool settings_file_set_aside(const std::string& path) {
    std::string bad = path + ".bad";
    GStatBuf taken;
    for (int n = 1; g_lstat(bad.c_str(), &taken) == 0; ++n) bad = path + ".bad." + std::to_string(n);
    if (g_rename(path.c_str(), bad.c_str()) != 0) {
        settings_file_tell_write_failure(path, g_strerror(errno));
        return false;
    }
    tell("sonabar: %s could not be used, so it is now %s; a new one keeps the choices made in the tray",
         key_file_shown(path).c_str(), key_file_shown(bad).c_str());
    return true;
}

}  // namespace

void settings_file_read(Settings* settings) {
    *settings = settings_defaults();
    std::string path = settings_file_path();
    GKeyFile* file = g_key_file_new();
    std::string reason;
    switch (key_file_load(path, file, &reason)) {
        case KEY_FILE_READ:
            settings_file_take(file, path, settings);
            break;
        case KEY_FILE_MISSING:
            break;
        case KEY_FILE_UNREADABLE:
            tell("sonabar: %s cannot be read (%s); using the defaults", key_file_shown(path).c_str(), reason.c_str());
            break;
        case KEY_FILE_NOT_KEY_FILE:
            tell("sonabar: %s is not a key file of [%s] and key=value lines; using the defaults",
                 key_file_shown(path).c_str(), SETTINGS_GROUP);
            break;
    }
    g_key_file_free(file);
}

void settings_file_keep(SettingKey key, const Settings& now) {
    std::string path = settings_file_path();
    GKeyFile* file = g_key_file_new();
    std::string reason;
    KeyFileRead read = key_file_load(path, file, &reason);
    if (read == KEY_FILE_UNREADABLE || read == KEY_FILE_NOT_KEY_FILE) {
        g_key_file_free(file);
        if (!settings_file_set_aside(path)) return;
        file = g_key_file_new();
    }
    char value[32];
    settings_value(key, now, value, sizeof value);
    g_key_file_set_value(file, SETTINGS_GROUP, settings_key(key), value);
    if (key_file_save(path, file, &reason) != 0) settings_file_tell_write_failure(path, reason);
    g_key_file_free(file);
}
