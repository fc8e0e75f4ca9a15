// The user's own key files on Linux (the settings file, the autostart entry):
// where they live, how they are named to the user, read whole and checked to
// be text, and written at once and atomically. On the UI thread.
#pragma once
#include <glib.h>

#include <string>

enum KeyFileRead { KEY_FILE_READ, KEY_FILE_MISSING, KEY_FILE_UNREADABLE, KEY_FILE_NOT_KEY_FILE };

// `folder`/`name` in the user's configuration folder ($XDG_CONFIG_HOME, or
// ~/.config when it is unset).
std::string key_file_path(const char* folder, const char* name);
// `path` as the user knows it: the home folder written as ~.
std::string key_file_shown(const std::string& path);
// Loads `path` into `file` (empty before), comments kept. For a file that
// exists but cannot be read, `*reason` says why.
KeyFileRead key_file_load(const std::string& path, GKeyFile* file, std::string* reason);
// Writes `file` to `path`, making its folder when needed: 0, or 1 with `*reason`.
int key_file_save(const std::string& path, GKeyFile* file, std::string* reason);
