// The meter's sensitivity: a fixed gain in dB applied to the spectrum maximum
// before it is quantised (0 dB is the design's scale), or automatic (the law in
// meter/auto_gain.h). Set from any thread; the next tick uses it. The setting
// is one relaxed atomic double, read once per tick: a factor above zero is a
// fixed gain, already converted from dB when it was set, and a negative value
// stands for automatic. Everything else here belongs to the tick.
#pragma once
#include <atomic>
#include <cstdint>

static_assert(std::atomic<double>::is_always_lock_free && std::atomic<uint32_t>::is_always_lock_free,
              "the gain setting must be lock-free");

constexpr double GAIN_LOWEST_DB = -20.0;
constexpr double GAIN_HIGHEST_DB = 40.0;

// A fixed gain of `db` (GAIN_LOWEST_DB..GAIN_HIGHEST_DB; a value outside is
// brought to the nearer limit, and one that is not a number counts as 0 dB).
void gain_set_fixed(double db);
// The automatic sensitivity (meter/auto_gain.h); the first tick that sees it
// starts the law afresh, also when it was automatic already (a new source of
// sound).
void gain_set_auto();

// For the tick: the spectrum maximum times the gain in force; in automatic
// mode this also runs one step of the law (and gives 0 while its gate is shut).
double gain_apply(double maximum);
// The factor (not dB) that the last tick applied; 1.0 before any tick. For the
// tick's thread (tests, the trace tool).
double gain_factor_in_use();
// Back to the start: fixed 0 dB, no tick seen (tests).
void gain_reset();
