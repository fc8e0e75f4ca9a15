// The user's own key files on Linux. Reading takes the whole file and checks
// that it is text before GKeyFile parses it: GKeyFile quietly takes a file
// with a nul byte in it as far as the nul, and a file cut short like that
// must not pass for a good one. Writing goes through g_file_set_contents: a
// temporary file in the same folder, then a rename over the old one, so that
// a crash or a power cut leaves the old file or the new, never half of one.
// A file that is a link (a dotfile kept elsewhere) is written where the link
// points, so the link stays; an existing file keeps its permissions.
#include "app/key_file_linux.h"

#include <glib/gstdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace {

// The errno behind a GLib file error: GLib says it in a sentence with the
// file's (temporary) name in it, the user needs only the cause.
std::string key_file_error_reason(const GError* error) {
    if (error->domain == G_FILE_ERROR && error->code != G_FILE_ERROR_FAILED) {
        for (int number = 1; number < 200; ++number) {
            if (g_file_error_from_errno(number) == error->code) return g_strerror(number);
        }
    }
    return error->message;
}

}  // namespace

std::string key_file_path(const char* folder, const char* name) {
    gchar* path = g_build_filename(g_get_user_config_dir(), folder, name, nullptr);
    std::string result = path;
    g_free(path);
    return result;
}

std::string key_file_shown(const std::string& path) {
    std::string home = g_get_home_dir();
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    if (home.size() > 1 && path.compare(0, home.size(), home) == 0 && path[home.size()] == '/') {
        return "~" + path.substr(home.size());
    }
    return path;
}

KeyFileRead key_file_load(const std::string& path, GKeyFile* file, std::string* reason) {
    gchar* data = nullptr;
    gsize length = 0;
    GError* error = nullptr;
    if (!g_file_get_contents(path.c_str(), &data, &length, &error)) {
        KeyFileRead result =
            g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT) ? KEY_FILE_MISSING : KEY_FILE_UNREADABLE;
        *reason = key_file_error_reason(error);
        g_error_free(error);
        return result;
    }
    // Valid UTF-8 of the whole length has no nul byte in it.
    bool parsed = g_utf8_validate(data, static_cast<gssize>(length), nullptr) &&
                  g_key_file_load_from_data(file, data, length,
                                            static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS |
                                                                       G_KEY_FILE_KEEP_TRANSLATIONS),
                                            nullptr);
    g_free(data);
    return parsed ? KEY_FILE_READ : KEY_FILE_NOT_KEY_FILE;
}

int key_file_save(const std::string& path, GKeyFile* file, std::string* reason) {
    char* target = realpath(path.c_str(), nullptr);
    std::string written = target != nullptr ? target : path;
    std::free(target);
    GStatBuf old;
    int mode = g_stat(written.c_str(), &old) == 0 ? static_cast<int>(old.st_mode & 07777) : 0666;
    gchar* folder = g_path_get_dirname(written.c_str());
    int made = g_mkdir_with_parents(folder, 0700);
    int error_number = errno;
    g_free(folder);
    if (made != 0) {
        *reason = g_strerror(error_number);
        return 1;
    }
    gsize length = 0;
    gchar* data = g_key_file_to_data(file, &length, nullptr);
    GError* error = nullptr;
    bool saved = g_file_set_contents_full(
        written.c_str(), data, static_cast<gssize>(length),
        static_cast<GFileSetContentsFlags>(G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_ONLY_EXISTING), mode,
        &error);
    g_free(data);
    if (saved) return 0;
    *reason = key_file_error_reason(error);
    g_error_free(error);
    return 1;
}
