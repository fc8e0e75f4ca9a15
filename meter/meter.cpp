// The per-tick meter: spectrum maximum, the sensitivity's gain, quantised
// level, falling bar and the peak-hold dot, for 8 LEDs (stepwise peak fall)
// and 16 LEDs (gravity peak). Both sizes share one MeterState that is never
// reset when an option changes.
#include "meter/meter.h"

#include <cmath>

#include "app/options.h"
#include "audio/analysis.h"
#include "meter/frames.h"
#include "meter/gain.h"

MeterState g_meter_state;

namespace {

constexpr double SCALE_8 = 0.0001220703125;   // 1/8192
constexpr double SCALE_16 = 0.000244140625;   // 1/4096
constexpr double BAR_STEP_TICKS_8 = 10.0;
constexpr double BAR_STEP_TICKS_16 = 6.0;
constexpr int32_t PEAK_HOLD_TICKS_8 = 40;     // the step counter starts on the 41st tick
constexpr int32_t PEAK_STEP_TICKS_8 = 15;
constexpr double PEAK_GRAVITY_16 = 5e-7;

// The largest |g_spectrum[k]| over all 1,024 bins, bin 0 and the mirrored half
// included, each element read whole with one relaxed 8-byte load. A candidate
// replaces a running maximum only when strictly greater (a NaN never does), so
// the result does not depend on the order of the bins: four running maxima over
// interleaved bins, merged at the end, give exactly the maximum of one pass from
// bin 0 upward while letting neighbouring comparisons run side by side.
double meter_bin(int k) { return std::fabs(g_spectrum[k].load(std::memory_order_relaxed)); }

double meter_larger(double v, double m) { return v > m ? v : m; }

double meter_spectrum_maximum() {
    double m0 = 0.0, m1 = 0.0, m2 = 0.0, m3 = 0.0;
    for (int k = 0; k < SPECTRUM_BINS; k += 4) {
        m0 = meter_larger(meter_bin(k), m0);
        m1 = meter_larger(meter_bin(k + 1), m1);
        m2 = meter_larger(meter_bin(k + 2), m2);
        m3 = meter_larger(meter_bin(k + 3), m3);
    }
    return meter_larger(meter_larger(m0, m1), meter_larger(m2, m3));
}

int32_t meter_quantise(double maximum, double scale, int32_t ceiling) {
    double scaled = maximum * scale;
    // Compare before converting so that no value is out of the integer's range.
    if (!(scaled < static_cast<double>(ceiling))) return scaled >= ceiling ? ceiling : 0;
    return static_cast<int32_t>(scaled);
}

void meter_rearm_level(MeterState& s) {
    s.level = s.level - 1 < 0 ? 0 : s.level - 1;
    s.peak_fall_ticks = 0;
    s.peak_age = 0;
}

void meter_bar(MeterState& s, double step_ticks) {
    if (s.bar_ticks >= step_ticks) {
        s.bar_ticks = 0.0;
        s.bar -= 1;
    }
    s.bar_ticks += 1.0;
    if (s.level > s.bar) {
        s.bar = s.level;
        s.bar_ticks = 0.0;
    }
}

void meter_tick_16(MeterState& s, bool peak_on) {
    if (peak_on) {
        double t = static_cast<double>(s.peak_age);
        s.peak_position = s.peak_position - t * t * t * PEAK_GRAVITY_16;
        double rounded = s.peak_position + 0.5;
        // The position is at most 16 (a level) and falls only until the next
        // re-arming; the lower bound just keeps the conversion defined.
        s.peak = rounded > -1e9 ? static_cast<int32_t>(rounded) : -1000000000;
        s.peak_age += 1;
        if (s.level >= s.peak) {
            s.peak_position = static_cast<double>(s.level);
            s.peak = s.level;
            meter_rearm_level(s);
        }
        if (s.peak > 8) {
            s.upper_dot = s.peak - 8;
            s.lower_dot = 0;
        } else {
            s.lower_dot = s.peak;
            s.upper_dot = 0;
        }
    } else {
        s.lower_dot = 0;
        s.upper_dot = 0;
    }
    meter_bar(s, BAR_STEP_TICKS_16);
    if (s.bar > 8) {
        s.lower_bar = 8;
        s.upper_bar = s.bar - 8;
    } else {
        s.lower_bar = s.bar;
        s.upper_bar = 0;
    }
    frame_write_16(s.upper_bar, s.upper_dot, s.lower_bar, s.lower_dot);
}

void meter_tick_8(MeterState& s, bool peak_on) {
    if (peak_on) {
        if (s.peak_age >= PEAK_HOLD_TICKS_8) {
            if (s.peak_fall_ticks >= PEAK_STEP_TICKS_8) {
                s.peak -= 1;
                s.peak_fall_ticks = 0;
            }
            s.peak_fall_ticks += 1;
        }
        s.peak_age += 1;
        if (s.level >= s.peak) {
            s.peak = s.level;
            meter_rearm_level(s);
        }
    } else {
        s.peak = 0;
    }
    meter_bar(s, BAR_STEP_TICKS_8);
    frame_write_8(s.bar, s.peak);
}

}  // namespace

void meter_tick() {
    MeterState& s = g_meter_state;
    bool sixteen = g_sixteen_mode.load(std::memory_order_relaxed) != 0;
    bool peak_on = g_peak_mode.load(std::memory_order_relaxed) != 0;
    // The gain acts on the maximum alone: ballistics, peak and frames are the same at every setting.
    double maximum = gain_apply(meter_spectrum_maximum());
    s.level = sixteen ? meter_quantise(maximum, SCALE_16, 16) : meter_quantise(maximum, SCALE_8, 8);
    if (sixteen) {
        meter_tick_16(s, peak_on);
    } else {
        meter_tick_8(s, peak_on);
    }
}

void meter_reset() {
    g_meter_state = MeterState{};
    gain_reset();
}
