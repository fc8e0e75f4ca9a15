// Automatic sensitivity: a law run once per tick on the spectrum maximum that
// keeps ordinary music in the middle of the bar whatever its loudness, and
// leaves silence and hiss dark.
//
// The law works on the gained maximum v = maximum × factor, in the meter's own
// units, where the same thresholds mean the same on 8 and 16 LEDs (65,536
// fills either bar; the target 30,720 is level 3.75 of 8 and 7.5 of 16):
//   - Gate: while the spectrum maximum is below AUTO_GAIN_GATE, the largest
//     maximum that analysed samples quieter than -60 dBFS RMS can give (four
//     times their RMS, for a steady offset; a pure tone gives 2.83 times), the
//     meter reads 0 and the factor is held. Silence, hiss and anything under
//     -60 dBFS stay dark, and a pause does not wind the gain up.
//   - Median tracking: a tick with v below the target raises the factor by
//     AUTO_GAIN_STEP_DB, one at or above it lowers it by as much, so the
//     factor settles where half the ticks lie on either side of the target.
//   - Full bar: a tick with v at the top lowers the factor by
//     AUTO_GAIN_FULL_DB instead, which keeps the share of full ticks small.
//     From the AUTO_GAIN_GRACE_TICKS-th consecutive full tick on, that fall
//     grows by AUTO_GAIN_ATTACK_DB a tick (to at most AUTO_GAIN_ATTACK_LIMIT_DB):
//     a beat that fills the bar for a moment barely moves the gain, while a
//     sudden rise is taken back within a few tenths of a second.
//   - Limits: GAIN_LOWEST_DB .. GAIN_HIGHEST_DB (-20 .. +40 dB).
//   - Start: the law starts at AUTO_GAIN_START_DB, the top of its range, and
//     for the first AUTO_GAIN_FIRST_TICKS ticks of sound (ticks with the gate
//     open, so that a silence before the music does not use them up) the
//     factor is also kept low enough that the loudest maximum heard so far
//     reads AUTO_GAIN_FIRST_CEILING at most: a quarter below the top. The bar
//     never fills while the law is still learning the sound, whatever its
//     loudness, and the median tracker takes over from there.
// Each tick costs a few comparisons and multiplications by factors converted
// from dB once. The state belongs to the tick. docs/sensitivity.md has the
// measured outcomes.
#pragma once

constexpr double AUTO_GAIN_START_DB = 40.0;  // the top of the gain's range
constexpr double AUTO_GAIN_GATE = 4.0 * 32768.0 / 1000.0;  // 4 × the RMS of -60 dBFS
constexpr double AUTO_GAIN_TARGET = 30720.0;
constexpr double AUTO_GAIN_TOP = 65536.0;
constexpr double AUTO_GAIN_STEP_DB = 0.06;
constexpr double AUTO_GAIN_FULL_DB = 0.2;
constexpr int AUTO_GAIN_GRACE_TICKS = 9;
constexpr double AUTO_GAIN_ATTACK_DB = 0.08;
constexpr double AUTO_GAIN_ATTACK_LIMIT_DB = 2.0;
constexpr int AUTO_GAIN_FIRST_TICKS = 100;          // one second of sound
constexpr double AUTO_GAIN_FIRST_CEILING = 49152.0;  // three quarters of the top: 6 of 8, 12 of 16

// Starts the law afresh at AUTO_GAIN_START_DB.
void auto_gain_start();
// One tick: returns the gained maximum the meter quantises (0 while the gate
// is shut) and updates the factor for the next tick.
double auto_gain_step(double maximum);
// The factor the last step applied.
double auto_gain_factor();
