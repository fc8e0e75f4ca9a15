// What the program listens to and how sensitive the meter is: the current
// choice of each, the radio items that show them, and what choosing an item
// does. A radio item that GTK unchecked or checked by itself is put right
// again from the choice, which is the authority, as the check marks of the
// display options are. A choice that changed is handed to the keeper, if
// the entry gave one, with every choice as it now is; one that could not
// apply is not.
#include "app/choices.h"

#include <cstdio>

#include "app/gain_option.h"
#include "app/options.h"
#include "app/shell.h"
#include "audio/capture.h"
#include "meter/frames.h"
#include "meter/gain.h"

namespace {

struct GainPreset {
    uint32_t command;
    const char* label;
    double db;
};

constexpr GainPreset GAIN_PRESETS[] = {
    {MENU_GAIN_NORMAL, "Normal", 0.0},
    {MENU_GAIN_6_DB, "+6 dB", 6.0},
    {MENU_GAIN_12_DB, "+12 dB", 12.0},
    {MENU_GAIN_18_DB, "+18 dB", 18.0},
};

bool g_listen_started;
bool g_gain_started;
int32_t g_listen;
uint32_t g_gain_command;
bool g_own_gain;  // the command line's gain has an item of its own
double g_own_db;
char g_own_label[32];
const ChoiceKeeper* g_keeper;

void choices_check(const ChoiceItem* items, int count, uint32_t chosen) {
    for (int i = 0; i < count; ++i) {
        shell_menu_set_state(items[i].command, items[i].command == chosen ? MENU_CHECKED : MENU_UNCHECKED);
    }
}

uint32_t choices_listen_command() { return g_listen == LISTEN_PLAYING ? MENU_LISTEN_PLAYING : MENU_LISTEN_INPUT; }

void choices_check_all() {
    ChoiceItem items[CHOICE_ITEMS_MAX];
    choices_check(items, choices_listen_items(items), choices_listen_command());
    choices_check(items, choices_gain_items(items), g_gain_command);
}

// "+6 dB", "-3 dB", "+6.5 dB": a gain as the menu shows it, into `text`.
void choices_gain_label(double db, char* text, size_t size) {
    char number[24];
    options_gain_text(db, number, sizeof number);
    std::snprintf(text, size, "%s dB", number);
}

// The fixed gain of the checked item (an automatic one keeps its own).
double choices_gain_db() {
    for (const GainPreset& preset : GAIN_PRESETS) {
        if (preset.command == g_gain_command) return preset.db;
    }
    return g_own_db;
}

void choices_keep(SettingKey key) {
    if (g_keeper == nullptr) return;
    Settings now = {g_sixteen_mode.load(std::memory_order_relaxed) != 0,
                    g_peak_mode.load(std::memory_order_relaxed) != 0, g_listen, g_gain_command == MENU_GAIN_AUTO,
                    choices_gain_db()};
    g_keeper->keep(key, now);
}

void choices_check_login() {
    if (g_keeper == nullptr) return;
    shell_menu_set_state(MENU_START_AT_LOGIN, g_keeper->starts_at_login() ? MENU_CHECKED : MENU_UNCHECKED);
}

}  // namespace

int32_t choices_start(int32_t listen, bool gain_auto, double gain_db) {
    g_listen_started = true;
    int32_t result = capture_listen(listen);
    g_listen = result == 0 ? listen : LISTEN_INPUT;
    choices_start_gain(gain_auto, gain_db);
    return result;
}

void choices_start_gain(bool gain_auto, double gain_db) {
    g_gain_started = true;
    g_own_gain = false;
    if (gain_auto) {
        g_gain_command = MENU_GAIN_AUTO;
        gain_set_auto();
        return;
    }
    g_gain_command = MENU_GAIN_OWN;
    for (const GainPreset& preset : GAIN_PRESETS) {
        if (preset.db == gain_db) g_gain_command = preset.command;
    }
    if (g_gain_command == MENU_GAIN_OWN) {
        g_own_gain = true;
        g_own_db = gain_db;
        choices_gain_label(gain_db, g_own_label, sizeof g_own_label);
    }
    gain_set_fixed(gain_db);
}

void choices_apply() {
    // The open capture may not hear what was chosen (what is playing, without
    // a sound server or from an ALSA device): the choice follows what it hears.
    if (g_listen_started && capture_listen(g_listen) != 0) g_listen = LISTEN_INPUT;
    choices_check_all();
    choices_check_login();
}

int choices_listen_items(ChoiceItem items[CHOICE_ITEMS_MAX]) {
    if (!g_listen_started) return 0;
    items[0] = {MENU_LISTEN_INPUT, "Sound input"};
    items[1] = {MENU_LISTEN_PLAYING, "What is playing"};
    return 2;
}

// The presets in order of their gain, the command line's own value among
// them where it belongs, and "Automatic" last.
int choices_gain_items(ChoiceItem items[CHOICE_ITEMS_MAX]) {
    if (!g_gain_started) return 0;
    int count = 0;
    bool own_placed = !g_own_gain;
    for (const GainPreset& preset : GAIN_PRESETS) {
        if (!own_placed && g_own_db < preset.db) {
            items[count++] = {MENU_GAIN_OWN, g_own_label};
            own_placed = true;
        }
        items[count++] = {preset.command, preset.label};
    }
    if (!own_placed) items[count++] = {MENU_GAIN_OWN, g_own_label};
    items[count++] = {MENU_GAIN_AUTO, "Automatic"};
    return count;
}

void choices_listen(int32_t source) {
    if (!g_listen_started) return;
    if (source != g_listen && capture_listen(source) == 0) {
        g_listen = source;
        choices_check_all();
        frame_dark_display();
        // Another sound: the automatic sensitivity learns it afresh, without a flash.
        if (g_gain_command == MENU_GAIN_AUTO) gain_set_auto();
        choices_keep(SETTING_LISTEN);
        return;
    }
    choices_check_all();
}

void choices_gain(uint32_t command) {
    if (!g_gain_started) return;
    uint32_t before = g_gain_command;
    if (command == g_gain_command) {
        // Chosen again: nothing changes (the automatic sensitivity keeps what it has learnt).
    } else if (command == MENU_GAIN_AUTO) {
        gain_set_auto();
        g_gain_command = command;
    } else if (command == MENU_GAIN_OWN) {
        if (g_own_gain) {
            gain_set_fixed(g_own_db);
            g_gain_command = command;
        }
    } else {
        for (const GainPreset& preset : GAIN_PRESETS) {
            if (preset.command != command) continue;
            gain_set_fixed(preset.db);
            g_gain_command = command;
        }
    }
    choices_check_all();
    if (g_gain_command != before) choices_keep(SETTING_GAIN);
}

void choices_keep_with(const ChoiceKeeper* keeper) { g_keeper = keeper; }

void choices_keep_display(uint32_t command) { choices_keep(command == MENU_PEAK ? SETTING_PEAK : SETTING_SIXTEEN); }

void choices_start_at_login() {
    if (g_keeper == nullptr) return;
    g_keeper->start_at_login(shell_menu_state(MENU_START_AT_LOGIN) != MENU_CHECKED);
    choices_check_login();
}

void choices_describe(bool sixteen, const char* lost_cause, char* text, int size) {
    const size_t room = static_cast<size_t>(size);
    if (lost_cause != nullptr) {
        std::snprintf(text, room, "Sonabar: no sound (%s)", lost_cause);
        return;
    }
    const char* sensitivity = "";
    ChoiceItem items[CHOICE_ITEMS_MAX];
    for (int i = 0, count = choices_gain_items(items); i < count; ++i) {
        if (items[i].command == g_gain_command) sensitivity = items[i].label;
    }
    std::snprintf(text, room, "Sonabar: %s, %s, %d LEDs",
                  g_listen == LISTEN_PLAYING ? "what is playing" : "the sound input", sensitivity, sixteen ? 16 : 8);
}

void choices_reset() {
    g_listen_started = false;
    g_gain_started = false;
    g_listen = LISTEN_INPUT;
    g_gain_command = MENU_GAIN_NORMAL;
    g_own_gain = false;
    g_own_db = 0.0;
    g_own_label[0] = '\0';
    g_keeper = nullptr;
}
