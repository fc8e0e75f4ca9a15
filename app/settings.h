// The settings the Linux edition keeps between runs, in the words of its
// settings file: one key per choice of the tray menu, named like the option
// that sets it on the command line ("16bit", "peak", "listen", "gain"), with
// the values each key takes, its default, and what the user is told of a
// value that is none of them. Only this table knows the keys; the file itself
// is read and written by the Linux edition (app/settings_file_linux.cpp).
#pragma once
#include <cstddef>
#include <cstdint>

// Every choice the file can set.
struct Settings {
    bool sixteen;    // 16bit: 16 LEDs instead of 8
    bool peak;       // peak: the peak-hold dot
    int32_t listen;  // listen: LISTEN_INPUT or LISTEN_PLAYING
    bool gain_auto;  // gain=auto
    double gain_db;  // gain=N, when not automatic
};

enum SettingKey { SETTING_SIXTEEN, SETTING_PEAK, SETTING_LISTEN, SETTING_GAIN };

// The file's group that holds the keys.
constexpr const char* SETTINGS_GROUP = "Sonabar";

// What settings_take makes of a key and its value.
constexpr int SETTING_TAKEN = 0;
constexpr int SETTING_BAD_VALUE = 1;  // the key keeps its default
constexpr int SETTING_UNKNOWN = 2;    // no such key: ignored

// The defaults: 8 LEDs, no peak dot, the sound input, 0 dB.
Settings settings_defaults();

// Takes the key `name` with `value` into `settings`. For a bad value or an
// unknown key, `*problem` says what is wrong and what is done instead, to
// follow "name=value " in a line for the user.
int settings_take(const char* name, const char* value, Settings* settings, const char** problem);

// The key's name, and its value in `settings` as the file writes it.
const char* settings_key(SettingKey key);
void settings_value(SettingKey key, const Settings& settings, char* text, size_t size);

