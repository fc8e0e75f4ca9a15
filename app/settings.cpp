// The keys of the settings file: each key's name, how its value is read and
// written, and what the user is told when a value is none of the key's. A
// value is read whole and exactly as written: "true" but not "True" or "1",
// so that what the file says and what the program does never differ
// silently. Numbers are read and written without regard to the locale.
#include "app/settings.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio/capture.h"
#include "meter/gain.h"

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
    return settings_parse_gain(value, &settings->gain_auto, &settings->gain_db);
}

constexpr SettingRule RULES[] = {
    {SETTING_SIXTEEN, "16bit", settings_read_sixteen, "is not true or false; using false (8 LEDs)"},
    {SETTING_PEAK, "peak", settings_read_peak, "is not true or false; using false (no peak dot)"},
    {SETTING_LISTEN, "listen", settings_read_listen, "is not input or playing; using input"},
    {SETTING_GAIN, "gain", settings_read_gain, "is not a number of dB from -20 to +40 or auto; using 0 dB"},
};

constexpr const char* UNKNOWN_KEY = "is not a setting of Sonabar (16bit, peak, listen, gain); ignored";

// A signed decimal: an optional sign, digits, and an optional fraction of
// digits ("+12", "6.5", "-3"); nothing else, so that "1e9", "nan", "inf",
// " 6" and "+1+2" are refused.
bool settings_decimal(const char* text, double* value) {
    const char* digits = text + (*text == '+' || *text == '-' ? 1 : 0);
    const char* end = digits;
    while (*end >= '0' && *end <= '9') ++end;
    if (end == digits) return false;
    if (*end == '.') {
        const char* fraction = ++end;
        while (*end >= '0' && *end <= '9') ++end;
        if (end == fraction) return false;
    }
    if (*end != '\0') return false;
    double magnitude = 0.0;
    std::from_chars_result result = std::from_chars(digits, end, magnitude);
    if (result.ec != std::errc() || result.ptr != end) return false;
    *value = *text == '-' ? -magnitude : magnitude;
    return true;
}

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
                settings_gain_text(settings.gain_db, text, size);
            }
            return;
    }
}

bool settings_parse_gain(const char* text, bool* automatic, double* db) {
    if (std::strcmp(text, "auto") == 0) {
        *automatic = true;
        return true;
    }
    double value = 0.0;
    if (!settings_decimal(text, &value) || value < GAIN_LOWEST_DB || value > GAIN_HIGHEST_DB) return false;
    *automatic = false;
    *db = value;
    return true;
}

void settings_gain_text(double db, char* text, size_t size) {
    char number[64];
    char* end = std::to_chars(number, number + sizeof number - 1, std::fabs(db), std::chars_format::fixed, 6).ptr;
    while (end[-1] == '0') --end;
    if (end[-1] == '.') --end;
    *end = '\0';
    const char* sign = std::strcmp(number, "0") == 0 ? "" : db < 0 ? "-" : "+";
    std::snprintf(text, size, "%s%s", sign, number);
}
