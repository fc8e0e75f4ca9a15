// The keys of the settings file: each key's name, how its value is read and
// written, and what the user is told when a value is none of the key's. A
// value is read whole and exactly as written: "true" but not "True" or "1",
// so that what the file says and what the program does never differ
// silently. Numbers are read and written without regard to the locale.
#include "app/settings.h"

#include <cstdio>
#include <cstring>

#include "app/gain_option.h"
#include "audio/capture.h"

namespace {

// Reads `value` into its field of `settings`; false, with nothing set, when
// the value is none of the key's.
typedef bool (*SettingReader)(const char* value, Settings* settings);

struct SettingRule {
    SettingKey key;
    const char* name;
    SettingReader read;
    const char* problem;  // what the key takes, and the default used instead
};

bool settings_flag(const char* value, bool* flag) {
    if (std::strcmp(value, "true") != 0 && std::strcmp(value, "false") != 0) return false;
    *flag = value[0] == 't';
    return true;
}

bool settings_read_sixteen(const char* value, Settings* settings) { return settings_flag(value, &settings->sixteen); }

bool settings_read_peak(const char* value, Settings* settings) { return settings_flag(value, &settings->peak); }

bool settings_read_listen(const char* value, Settings* settings) {
    if (std::strcmp(value, "input") == 0) {
        settings->listen = LISTEN_INPUT;
    } else if (std::strcmp(value, "playing") == 0) {
        settings->listen = LISTEN_PLAYING;
    } else {
        return false;
    }
    return true;
}

bool settings_read_gain(const char* value, Settings* settings) {
    return options_gain(value, std::strlen(value), &settings->gain_auto, &settings->gain_db);
}

constexpr SettingRule RULES[] = {
    {SETTING_SIXTEEN, "16bit", settings_read_sixteen, "is not true or false; using false (8 LEDs)"},
    {SETTING_PEAK, "peak", settings_read_peak, "is not true or false; using false (no peak dot)"},
    {SETTING_LISTEN, "listen", settings_read_listen, "is not input or playing; using input"},
    {SETTING_GAIN, "gain", settings_read_gain, "is not a number of dB from -20 to +40 or auto; using 0 dB"},
};

constexpr const char* UNKNOWN_KEY = "is not a setting of Sonabar (16bit, peak, listen, gain); ignored";

}  // namespace

Settings settings_defaults() { return Settings{false, false, LISTEN_INPUT, false, 0.0}; }

int settings_take(const char* name, const char* value, Settings* settings, const char** problem) {
    for (const SettingRule& rule : RULES) {
        if (std::strcmp(rule.name, name) != 0) continue;
        if (rule.read(value, settings)) return SETTING_TAKEN;
        *problem = rule.problem;
        return SETTING_BAD_VALUE;
    }
    *problem = UNKNOWN_KEY;
    return SETTING_UNKNOWN;
}

const char* settings_key(SettingKey key) { return RULES[key].name; }

void settings_value(SettingKey key, const Settings& settings, char* text, size_t size) {
    switch (key) {
        case SETTING_SIXTEEN:
            std::snprintf(text, size, "%s", settings.sixteen ? "true" : "false");
            return;
        case SETTING_PEAK:
            std::snprintf(text, size, "%s", settings.peak ? "true" : "false");
            return;
        case SETTING_LISTEN:
            std::snprintf(text, size, "%s", settings.listen == LISTEN_PLAYING ? "playing" : "input");
            return;
        case SETTING_GAIN:
            if (settings.gain_auto) {
                std::snprintf(text, size, "auto");
            } else {
                options_gain_text(settings.gain_db, text, size);
            }
            return;
    }
}
