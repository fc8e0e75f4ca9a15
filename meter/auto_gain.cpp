// The automatic sensitivity's law, one step per tick (see meter/auto_gain.h):
// a gate on the spectrum maximum, a median tracker on the gained maximum, a
// fall on full ticks that gathers speed while the bar stays full, within the
// gain's limits, and a first second of sound that never fills the bar. The
// state belongs to the tick; the dB steps become factors once, when the
// program starts.
#include "meter/auto_gain.h"

#include <cmath>
#include <cstdint>

#include "meter/gain.h"

namespace {

double auto_gain_db_factor(double db) { return std::pow(10.0, db / 20.0); }

const double AUTO_GAIN_START = auto_gain_db_factor(AUTO_GAIN_START_DB);
const double AUTO_GAIN_UP = auto_gain_db_factor(AUTO_GAIN_STEP_DB);
const double AUTO_GAIN_DOWN = auto_gain_db_factor(-AUTO_GAIN_STEP_DB);
const double AUTO_GAIN_FULL = auto_gain_db_factor(-AUTO_GAIN_FULL_DB);
const double AUTO_GAIN_ATTACK = auto_gain_db_factor(-AUTO_GAIN_ATTACK_DB);
const double AUTO_GAIN_ATTACK_LIMIT = auto_gain_db_factor(-AUTO_GAIN_ATTACK_LIMIT_DB);
const double AUTO_GAIN_LOWEST = auto_gain_db_factor(GAIN_LOWEST_DB);
const double AUTO_GAIN_HIGHEST = auto_gain_db_factor(GAIN_HIGHEST_DB);

struct AutoGainState {
    double factor;      // the gain the next tick applies
    double applied;     // the gain the last tick applied
    double full_fall;   // the factor of the next full tick's fall
    int32_t full_run;   // consecutive ticks that filled the bar, counted up to the grace
    int32_t first_ticks;  // ticks of sound still to come in the first stretch
    double loudest;       // the largest maximum of the first stretch so far
};

const AutoGainState AUTO_GAIN_FRESH = {AUTO_GAIN_START, AUTO_GAIN_START, AUTO_GAIN_FULL, 0, AUTO_GAIN_FIRST_TICKS, 0.0};
AutoGainState g_auto_gain = AUTO_GAIN_FRESH;

}  // namespace

void auto_gain_start() { g_auto_gain = AUTO_GAIN_FRESH; }

double auto_gain_step(double maximum) {
    AutoGainState& s = g_auto_gain;
    // Also shut for a maximum that is not a number.
    if (!(maximum >= AUTO_GAIN_GATE)) {
        s.applied = s.factor;
        s.full_run = 0;
        s.full_fall = AUTO_GAIN_FULL;
        return 0.0;
    }
    // The first stretch of sound: the loudest part heard so far stays below the top.
    if (s.first_ticks > 0) {
        s.first_ticks -= 1;
        if (maximum > s.loudest) s.loudest = maximum;
        if (s.factor * s.loudest > AUTO_GAIN_FIRST_CEILING) s.factor = AUTO_GAIN_FIRST_CEILING / s.loudest;
    }
    s.applied = s.factor;
    const double gained = maximum * s.factor;
    if (gained >= AUTO_GAIN_TOP) {
        if (s.full_run < AUTO_GAIN_GRACE_TICKS) s.full_run += 1;
        if (s.full_run >= AUTO_GAIN_GRACE_TICKS) {
            s.full_fall *= AUTO_GAIN_ATTACK;
            if (s.full_fall < AUTO_GAIN_ATTACK_LIMIT) s.full_fall = AUTO_GAIN_ATTACK_LIMIT;
        }
        s.factor *= s.full_fall;
    } else {
        s.full_run = 0;
        s.full_fall = AUTO_GAIN_FULL;
        s.factor *= gained >= AUTO_GAIN_TARGET ? AUTO_GAIN_DOWN : AUTO_GAIN_UP;
    }
    if (s.factor < AUTO_GAIN_LOWEST) s.factor = AUTO_GAIN_LOWEST;
    if (s.factor > AUTO_GAIN_HIGHEST) s.factor = AUTO_GAIN_HIGHEST;
    return gained;
}

double auto_gain_factor() { return g_auto_gain.applied; }
