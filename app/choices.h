// The two choices the editions add to the design's display options: what the
// program listens to (the sound input, or what the desktop plays; Linux only)
// and the meter's sensitivity (a fixed gain, or automatic; both editions). The
// entry sets where they start; radio items in the tray menu switch them while
// the program runs. A choice that was never started is not offered: no menu
// items, no checks. An entry that gives the choices a keeper (the Linux
// edition) has every choice the user changes in the tray, the display
// options' too, kept for the next run, and offers "Start at login"; without
// one (the Windows edition, as designed) nothing is stored. Everything here
// runs on the UI thread.
#pragma once
#include <cstdint>

#include "app/settings.h"

// Menu command identifiers of the radio items.
constexpr uint32_t MENU_LISTEN_INPUT = 40020;
constexpr uint32_t MENU_LISTEN_PLAYING = 40021;
constexpr uint32_t MENU_GAIN_NORMAL = 40030;
constexpr uint32_t MENU_GAIN_6_DB = 40031;
constexpr uint32_t MENU_GAIN_12_DB = 40032;
constexpr uint32_t MENU_GAIN_18_DB = 40033;
constexpr uint32_t MENU_GAIN_AUTO = 40034;
constexpr uint32_t MENU_GAIN_OWN = 40035;  // the command line's -gain=N, when no other item has it
// The check item "Start at login", offered by an entry that keeps the choices.
constexpr uint32_t MENU_START_AT_LOGIN = 40040;

// A radio item of one of the two submenus.
struct ChoiceItem {
    uint32_t command;
    const char* label;
};
constexpr int CHOICE_ITEMS_MAX = 6;

// Before start-up: what to listen to (LISTEN_INPUT or LISTEN_PLAYING) and the
// sensitivity (automatic, or `gain_db`), handed on to the capture and the
// meter. Returns capture_listen's result: 1 when this edition cannot listen
// to `listen` (the choice then stays on the sound input).
int32_t choices_start(int32_t listen, bool gain_auto, double gain_db);
// The sensitivity alone (automatic, or `gain_db`), handed on to the meter;
// nothing to listen to is offered.
void choices_start_gain(bool gain_auto, double gain_db);

// Once the menu is loaded and the capture open: checks the items of the
// current choices. What the capture cannot hear (what is playing, without a
// sound server) has fallen back to the sound input by then.
void choices_apply();

// The radio items of "Listen to" and of "Sensitivity", in menu order, into
// `items`; returns their number (0 when that choice was not started).
int choices_listen_items(ChoiceItem items[CHOICE_ITEMS_MAX]);
int choices_gain_items(ChoiceItem items[CHOICE_ITEMS_MAX]);

// A listen item chosen: switches the capture at once, darkens the display
// for the switch and starts the automatic sensitivity afresh when it is in
// use; when the capture cannot listen there, the check stays.
void choices_listen(int32_t source);
// A sensitivity item chosen (one of the MENU_GAIN_ commands).
void choices_gain(uint32_t command);

// The tray's tip, into `text` (`size` bytes): what is heard, the sensitivity
// and the number of LEDs ("Sonabar: what is playing, Automatic, 8 LEDs"), or
// while no sound comes, its cause ("Sonabar: no sound (CAUSE)", `lost_cause`
// not null).
void choices_describe(bool sixteen, const char* lost_cause, char* text, int size);

// Where the choices are kept between runs.
struct ChoiceKeeper {
    // The user changed `key` in the tray and it applied; `now` holds every
    // choice as it now is.
    void (*keep)(SettingKey key, const Settings& now);
    // Whether the program starts at login, and the switch of it.
    bool (*starts_at_login)();
    void (*start_at_login)(bool on);
};
// Before start-up: every change the user makes from now on goes to `keeper`
// (static lifetime).
void choices_keep_with(const ChoiceKeeper* keeper);
// "16-bit" or "Peak" chosen (the command), once the spine has switched it.
void choices_keep_display(uint32_t command);
// "Start at login" chosen: switched the other way; the check shows the outcome.
void choices_start_at_login();

// Forgets the choices and the keeper, as before choices_start (for tests).
void choices_reset();
