// The meter's sensitivity: the setting written by the UI thread (a fixed gain
// in dB, converted to a factor here, or automatic), and the tick's side, which
// reads the setting once and applies the fixed factor or steps the automatic
// law. At 0 dB the factor is exactly 1.0, so the design's scale is untouched.
#include "meter/gain.h"

#include <cmath>

#include "meter/auto_gain.h"

namespace {

constexpr double GAIN_AUTOMATIC = -1.0;  // the setting's value for automatic

std::atomic<double> g_gain_setting{1.0};
std::atomic<uint32_t> g_auto_starts{0};  // each request for the automatic law, counted

// The tick's own: whether the last tick ran the automatic law, and which
// request it ran (a switch to it, or a new request, starts the law afresh),
// and the factor that tick applied.
bool g_gain_was_auto = false;
uint32_t g_auto_started = 0;
double g_gain_in_use = 1.0;

}  // namespace

void gain_set_fixed(double db) {
    if (std::isnan(db)) db = 0.0;
    db = db < GAIN_LOWEST_DB ? GAIN_LOWEST_DB : (db > GAIN_HIGHEST_DB ? GAIN_HIGHEST_DB : db);
    g_gain_setting.store(std::pow(10.0, db / 20.0), std::memory_order_relaxed);
}

void gain_set_auto() {
    g_auto_starts.fetch_add(1, std::memory_order_relaxed);
    g_gain_setting.store(GAIN_AUTOMATIC, std::memory_order_relaxed);
}

double gain_apply(double maximum) {
    const double setting = g_gain_setting.load(std::memory_order_relaxed);
    if (setting > 0.0) {
        g_gain_was_auto = false;
        g_gain_in_use = setting;
        return maximum * setting;
    }
    const uint32_t starts = g_auto_starts.load(std::memory_order_relaxed);
    if (!g_gain_was_auto || starts != g_auto_started) {
        auto_gain_start();
        g_gain_was_auto = true;
        g_auto_started = starts;
    }
    const double gained = auto_gain_step(maximum);
    g_gain_in_use = auto_gain_factor();
    return gained;
}

double gain_factor_in_use() { return g_gain_in_use; }

void gain_reset() {
    g_gain_setting.store(1.0, std::memory_order_relaxed);
    g_gain_was_auto = false;
    g_gain_in_use = 1.0;
}
