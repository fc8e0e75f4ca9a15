// The meter's sensitivity: a fixed gain in dB applied to the spectrum maximum
// before it is quantised (0 dB is the design's scale), or automatic. Set from
// any thread; the next tick uses it.
#pragma once

constexpr double GAIN_LOWEST_DB = -20.0;
constexpr double GAIN_HIGHEST_DB = 40.0;

// A fixed gain of `db` (GAIN_LOWEST_DB..GAIN_HIGHEST_DB).
void gain_set_fixed(double db);
// The automatic sensitivity.
void gain_set_auto();
