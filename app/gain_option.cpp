// The -gain= option: its number read without the locale, and on Windows its
// value taken from wherever the option stands in the arguments, ending where
// a word ends, so that a shortcut's quoted "-gain=+12" works as well.
#include "app/gain_option.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/choices.h"
#include "app/shell.h"
#include "meter/gain.h"

namespace {

// Significant digits kept for the conversion: more than any number between
// two neighbouring doubles needs to tell on which side of it a value lies.
constexpr size_t GAIN_DIGITS_KEPT = 800;

// The digits of a checked number (`digits` to `end`, with at most one point)
// as strtod reads them in every locale, without a point: "65e-1" for "6.5".
// Leading zeros are left out; the digits beyond those kept become one
// nonzero digit when any of them is nonzero, which rounds the same.
const char* options_gain_digits(bool negative, const char* digits, const char* end) {
    static char number[GAIN_DIGITS_KEPT + 32];
    char* out = number;
    if (negative) *out++ = '-';
    long exponent = 0;
    size_t kept = 0;
    bool dropped_nonzero = false;
    bool fraction = false;
    for (const char* p = digits; p < end; ++p) {
        if (*p == '.') {
            fraction = true;
            continue;
        }
        if (fraction) --exponent;
        if (kept == 0 && *p == '0') continue;
        if (kept < GAIN_DIGITS_KEPT) {
            *out++ = *p;
            ++kept;
        } else {
            ++exponent;
            dropped_nonzero = dropped_nonzero || *p != '0';
        }
    }
    if (dropped_nonzero) {
        *out++ = '1';
        --exponent;
    }
    if (kept == 0) *out++ = '0';
    std::snprintf(out, sizeof number - static_cast<size_t>(out - number), "e%ld", exponent);
    return number;
}

}  // namespace

// Nothing but the plain form, so that "1e9", "nan", "inf", " 6" and "+1+2"
// are refused; the conversion does not depend on the locale.
bool options_gain_db(const char* text, size_t length, double* db) {
    const char* end = text + length;
    const bool negative = length > 0 && *text == '-';
    const char* digits = text + (length > 0 && (*text == '+' || negative) ? 1 : 0);
    const char* p = digits;
    while (p < end && *p >= '0' && *p <= '9') ++p;
    if (p == digits) return false;
    if (p < end && *p == '.') {
        const char* fraction = ++p;
        while (p < end && *p >= '0' && *p <= '9') ++p;
        if (p == fraction) return false;
    }
    if (p != end) return false;
    const double value = std::strtod(options_gain_digits(negative, digits, end), nullptr);
    if (!(value >= GAIN_LOWEST_DB && value <= GAIN_HIGHEST_DB)) return false;
    *db = value;
    return true;
}

void options_gain_text(double db, char* text, size_t size) {
    // Whole millionths of a dB, written as integers: no locale's decimal point.
    const double millionths = std::floor(std::fabs(db) * 1e6 + 0.5);
    const unsigned long whole = static_cast<unsigned long>(millionths / 1e6);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, "%06lu", static_cast<unsigned long>(millionths - whole * 1e6));
    int digits = 6;
    while (digits > 0 && fraction[digits - 1] == '0') --digits;
    fraction[digits] = '\0';
    const char* sign = millionths == 0 ? "" : db < 0 ? "-" : "+";
    std::snprintf(text, size, "%s%lu%s%s", sign, whole, digits > 0 ? "." : "", fraction);
}

bool options_gain(const char* text, size_t length, bool* automatic, double* db) {
    if (length == 4 && std::strncmp(text, "auto", 4) == 0) {
        *automatic = true;
        return true;
    }
    if (!options_gain_db(text, length, db)) return false;
    *automatic = false;
    return true;
}

int options_start_gain(const char* arguments) {
    const char* found = arguments != nullptr ? std::strstr(arguments, OPTION_GAIN) : nullptr;
    if (found == nullptr) {
        choices_start_gain(false, 0.0);
        return 0;
    }
    const char* value = found + std::strlen(OPTION_GAIN);
    const size_t length = std::strcspn(value, " \t\"");
    bool automatic = false;
    double db = 0.0;
    if (options_gain(value, length, &automatic, &db)) {
        choices_start_gain(automatic, db);
        return 0;
    }
    static char message[200];
    const int shown = static_cast<int>(length < sizeof message ? length : sizeof message);
    std::snprintf(message, sizeof message, "%s takes a number of dB from -20 to +40, or auto: '%.*s'",
                  OPTION_GAIN, shown, value);
    shell_error_box(message, nullptr);
    return OPTIONS_REFUSED;
}
