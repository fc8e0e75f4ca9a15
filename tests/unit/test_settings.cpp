// The settings file's keys: what each value sets (as it is written back), and
// what is said of a bad value or an unknown key, which leave the defaults.
// The gain's number is read by the command line's reader, whose table holds
// every malformed and out-of-range value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings.h"

namespace {

// Every key as the file writes it.
std::string written(const Settings& settings) {
    std::string line;
    for (SettingKey key : {SETTING_SIXTEEN, SETTING_PEAK, SETTING_LISTEN, SETTING_GAIN}) {
        char value[32];
        settings_value(key, settings, value, sizeof value);
        line += std::string(line.empty() ? "" : " ") + settings_key(key) + "=" + value;
    }
    return line;
}

TEST(Settings, EachKeyTakesItsOwnValuesAndABadOneLeavesTheDefault) {
    const std::string defaults = "16bit=false peak=false listen=input gain=0";
    const std::string not_flag = "is not true or false; using false";
    const std::string not_gain = "is not a number of dB from -20 to +40 or auto; using 0 dB";
    struct Case {
        const char* name;
        const char* value;
        int result;
        std::string settings;  // or the problem
    };
    const std::vector<Case> cases = {
        {"16bit", "true", SETTING_TAKEN, "16bit=true peak=false listen=input gain=0"},
        {"16bit", "false", SETTING_TAKEN, defaults},
        {"peak", "true", SETTING_TAKEN, "16bit=false peak=true listen=input gain=0"},
        {"listen", "playing", SETTING_TAKEN, "16bit=false peak=false listen=playing gain=0"},
        {"listen", "input", SETTING_TAKEN, defaults},
        {"gain", "auto", SETTING_TAKEN, "16bit=false peak=false listen=input gain=auto"},
        {"gain", "+6", SETTING_TAKEN, "16bit=false peak=false listen=input gain=+6"},
        {"gain", "6.5", SETTING_TAKEN, "16bit=false peak=false listen=input gain=+6.5"},
        {"gain", "-20", SETTING_TAKEN, "16bit=false peak=false listen=input gain=-20"},
        {"gain", "40.000", SETTING_TAKEN, "16bit=false peak=false listen=input gain=+40"},
        {"gain", "-0.125", SETTING_TAKEN, "16bit=false peak=false listen=input gain=-0.125"},
        {"gain", "-0", SETTING_TAKEN, defaults},
        {"16bit", "True", SETTING_BAD_VALUE, not_flag + " (8 LEDs)"},
        {"peak", "1", SETTING_BAD_VALUE, not_flag + " (no peak dot)"},
        {"listen", "output", SETTING_BAD_VALUE, "is not input or playing; using input"},
        {"gain", "loud", SETTING_BAD_VALUE, not_gain},
        {"gain", "", SETTING_BAD_VALUE, not_gain},
        {"colour", "red", SETTING_UNKNOWN, "is not a setting of Sonabar (16bit, peak, listen, gain); ignored"},
        {"Gain", "auto", SETTING_UNKNOWN, "is not a setting of Sonabar (16bit, peak, listen, gain); ignored"},
    };
    for (const Case& c : cases) {
        Settings settings = settings_defaults();
        const char* problem = nullptr;
        EXPECT_EQ(settings_take(c.name, c.value, &settings, &problem), c.result) << c.name << "=" << c.value;
        if (c.result == SETTING_TAKEN) {
            EXPECT_EQ(written(settings), c.settings) << c.name << "=" << c.value;
        } else {
            EXPECT_EQ(problem != nullptr ? problem : "", c.settings) << c.name << "=" << c.value;
            EXPECT_EQ(written(settings), defaults) << c.name << "=" << c.value;
        }
    }
}

}  // namespace
