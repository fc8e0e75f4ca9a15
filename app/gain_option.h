// The sensitivity's command-line option, -gain=N (dB) or -gain=auto: the
// number as both editions take it, and the Windows edition's way of finding
// the option in the arguments part of its command line, as the display
// options are found there.
#pragma once
#include <cstddef>

constexpr const char* OPTION_GAIN = "-gain=";

// The exit code of a command line that is refused.
constexpr int OPTIONS_REFUSED = 2;

// A number of dB as -gain= takes it: the `length` characters at `text` are
// an optional sign, digits and an optional fraction of digits ("+12", "6.5",
// "-3"), from -20 to +40. True with `*db` set when they are.
bool options_gain_db(const char* text, size_t length, double* db);
// A sensitivity as -gain= and the settings file's gain take it: the `length`
// characters at `text` are "auto", or a number of dB as above. False, and
// nothing set, for anything else.
bool options_gain(const char* text, size_t length, bool* automatic, double* db);
// A gain in dB as it is written and shown: "+6", "-2.5", "0" (six decimals at
// most; a value that rounds to nothing has no sign), whatever the locale.
void options_gain_text(double db, char* text, size_t size);

// Before start-up: the sensitivity from "-gain=", found anywhere in
// `arguments` as a case-sensitive substring (the first one counts). Its value
// runs to the next space, tab, double quote or the end: "auto" or a number of
// dB. Without it the sensitivity is the standard scale. A bad value is shown
// in the failure box, naming it and what is accepted, and OPTIONS_REFUSED
// returned; else 0.
int options_start_gain(const char* arguments);
