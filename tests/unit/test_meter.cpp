// The meter tick: quantising the spectrum maximum, the falling bar and both
// peak laws tick by tick against the published timing tables, the 'dot inside
// the bar' scenarios, silence from a zero start, the options read on every
// tick, and frames that stay valid after a switch from 16 to 8 LEDs.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "app/options.h"
#include "audio/analysis.h"
#include "meter/meter.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"

namespace {

using Writes = std::vector<std::pair<uint16_t, uint8_t>>;
constexpr uint16_t DATA = 0x378;
constexpr uint16_t CONTROL = 0x37A;

// LEDs 1..bar lit, plus LED dot.
uint8_t bank(int bar, int dot) {
    unsigned bits = (1u << bar) - 1u;
    if (dot > 0) bits |= 1u << (dot - 1);
    return static_cast<uint8_t>(bits);
}

Writes frame8(int bar, int peak) { return {{CONTROL, 0}, {DATA, bank(bar, peak)}}; }

Writes frame16(int bar, int peak) {
    const uint8_t upper = bank(std::max(bar - 8, 0), peak > 8 ? peak - 8 : 0);
    const uint8_t lower = bank(std::min(bar, 8), peak > 8 ? 0 : peak);
    return {{CONTROL, 3}, {DATA, upper}, {CONTROL, 1}, {CONTROL, 3}, {DATA, lower}, {CONTROL, 2}};
}

class MeterTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_log_clear();
        fake_port_reset();
        meter_reset();
        g_peak_mode = 0;
        g_sixteen_mode = 0;
        set_spectrum(0.0);
    }
    // The whole spectrum zero except `value` at bin `k`.
    static void set_spectrum(double value, int k = 0) {
        for (auto& e : g_spectrum) e.store(0.0);
        g_spectrum[k].store(value);
    }
    // A spectrum whose maximum quantises to `level` in the current size.
    static void set_level(int level) { set_spectrum(level * (g_sixteen_mode ? 4096.0 : 8192.0)); }
    static Writes tick() {
        fake_log_clear();
        meter_tick();
        return fake_log_port_writes();
    }
    static const MeterState& state() { return g_meter_state; }
};

TEST_F(MeterTest, QuantisesByTruncationAndCutsAtTheCeiling) {
    struct Case {
        bool sixteen;
        double maximum;
        int level;
    };
    const Case cases[] = {
        {false, 65536.0, 8},  {false, 65535.9, 7}, {false, 8192.0, 1},   {false, 8191.99, 0},
        {false, 65534.0, 7},  {false, 131072.0, 8}, {false, 1e300, 8},   {true, 65536.0, 16},
        {true, 65535.9, 15},  {true, 4096.0, 1},   {true, 4095.99, 0},   {true, 65534.0, 15},
        {true, 131072.0, 16},
    };
    for (const Case& c : cases) {
        g_sixteen_mode = c.sixteen;
        set_spectrum(c.maximum);
        tick();
        EXPECT_EQ(state().level, c.level) << c.maximum << (c.sixteen ? " on 16" : " on 8");
    }
}

TEST_F(MeterTest, MaximumTakesEveryBinAndItsMagnitude) {
    for (int k : {0, 1, 511, 512, 1023}) {
        set_spectrum(5.0 * 8192.0, k);
        tick();
        EXPECT_EQ(state().level, 5) << "bin " << k;
        g_spectrum[k].store(-6.0 * 8192.0);
        tick();
        EXPECT_EQ(state().level, 6) << "negative bin " << k;
    }
    set_spectrum(2.0 * 8192.0, 3);
    g_spectrum[700].store(4.0 * 8192.0);
    g_spectrum[1000].store(3.0 * 8192.0);
    tick();
    EXPECT_EQ(state().level, 4);
}

TEST_F(MeterTest, SilenceFromZeroStartStaysDarkWhileTheBarCounterRuns) {
    for (bool sixteen : {false, true}) {
        meter_reset();
        g_sixteen_mode = sixteen;
        g_peak_mode = 1;
        const int period = sixteen ? 7 : 11;  // the bar steps to -1 and back every 7th / 11th tick
        for (int n = 1; n <= 40; ++n) {
            ASSERT_EQ(tick(), sixteen ? frame16(0, 0) : frame8(0, 0)) << n;
            const MeterState& s = state();
            ASSERT_EQ(s.bar_ticks, static_cast<double>(n % period)) << n;
            ASSERT_EQ(s.level, 0);
            ASSERT_EQ(s.bar, 0);
            ASSERT_EQ(s.peak, 0);
            ASSERT_EQ(s.peak_age, 0);
            ASSERT_EQ(s.peak_fall_ticks, 0);
            ASSERT_EQ(s.peak_position, 0.0);
        }
    }
}

TEST_F(MeterTest, SteadyLevelShowsExactlyThatManyLeds) {
    for (bool sixteen : {false, true}) {
        const int ceiling = sixteen ? 16 : 8;
        for (int level = 0; level <= ceiling; ++level) {
            meter_reset();
            g_sixteen_mode = sixteen;
            g_peak_mode = 1;
            set_level(level);
            for (int n = 0; n < 60; ++n) {
                // The peak dot on LED `level`, the bar one below it.
                ASSERT_EQ(tick(), sixteen ? frame16(level, level) : frame8(level, level))
                    << "level " << level << " tick " << n;
                ASSERT_EQ(state().peak, level);
                ASSERT_EQ(state().bar, std::max(level - 1, 0));
            }
        }
    }
}

// A single tick at full level, then silence, peak on: the 8-LED table.
TEST_F(MeterTest, EightLedTimingAfterOneFullTick) {
    g_peak_mode = 1;
    set_level(8);
    EXPECT_EQ(tick(), frame8(7, 8));
    set_spectrum(0.0);
    for (int n = 1; n <= 220; ++n) {
        const int bar = std::max(7 - (n - 1) / 10, 0);               // steps at 11, 21, 31, ...
        const int peak = n <= 55 ? 8 : std::max(7 - (n - 56) / 15, 0);  // 56, 71, 86, ... 0 at 161
        ASSERT_EQ(tick(), frame8(bar, peak)) << "tick " << n;
        ASSERT_EQ(state().bar, bar) << "tick " << n;
        ASSERT_EQ(state().peak, peak) << "tick " << n;
    }
}

// The 16-LED table: the peak falls under gravity, ever faster.
TEST_F(MeterTest, SixteenLedTimingAfterOneFullTick) {
    const std::vector<std::pair<int, int>> peak_steps = {
        {46, 15}, {60, 14}, {68, 13}, {74, 12}, {78, 11}, {82, 10}, {86, 9}, {89, 8},
        {92, 7},  {94, 6},  {97, 5},  {99, 4},  {101, 3}, {103, 2}, {105, 1}, {107, 0}};
    g_sixteen_mode = 1;
    g_peak_mode = 1;
    set_level(16);
    EXPECT_EQ(tick(), frame16(15, 16));
    set_spectrum(0.0);
    int peak = 16;
    size_t next = 0;
    for (int n = 1; n <= 150; ++n) {
        if (next < peak_steps.size() && peak_steps[next].first == n) peak = peak_steps[next++].second;
        const int bar = std::max(15 - (n - 1) / 6, 0);  // steps at 7, 13, 19, ...
        ASSERT_EQ(tick(), frame16(bar, peak)) << "tick " << n;
        ASSERT_EQ(state().bar, bar) << "tick " << n;
        ASSERT_EQ(state().peak, peak) << "tick " << n;
    }
}

// One tick at 8, then a steady 6: the dot comes down onto the bar and stays
// there while the bar beneath it falls away.
TEST_F(MeterTest, EightLedDotComesToRestOnTheBar) {
    g_peak_mode = 1;
    set_level(8);
    tick();
    set_level(6);
    for (int n = 1; n <= 80; ++n) {
        const int bar = n <= 10 ? 7 : (n <= 75 ? 6 : 5);   // held at 6 by the level until 76
        const int peak = n <= 55 ? 8 : (n <= 70 ? 7 : 6);  // re-armed at 6 from tick 71 on
        ASSERT_EQ(tick(), frame8(bar, peak)) << n;
        ASSERT_EQ(state().bar, bar) << n;
        ASSERT_EQ(state().peak, peak) << n;
    }
    EXPECT_EQ(frame8(6, 6), frame8(5, 6));  // 63 both: the bar's step does not show
}

// One tick at 16, then level 11 for 75 ticks, then level 2: the dot falls
// into the bar and rests at 2, and the frame shows the bar alone meanwhile.
TEST_F(MeterTest, SixteenLedDotFallsIntoTheBar) {
    g_sixteen_mode = 1;
    g_peak_mode = 1;
    set_level(16);
    tick();
    for (int n = 1; n <= 140; ++n) {
        set_level(n <= 75 ? 11 : 2);
        const Writes frame = tick();
        const MeterState& s = state();
        if (n == 89) {
            EXPECT_EQ(s.bar, 9);
            EXPECT_EQ(s.peak, 8);
        }
        if (n == 103) {
            EXPECT_EQ(s.bar, 7);
        }
        if (n == 128) {
            EXPECT_EQ(s.bar, 2);
        }
        if (n >= 103) {
            ASSERT_EQ(s.peak, 2) << n;
        }
        if (n >= 89 && n <= 133) {
            ASSERT_LE(s.peak, s.bar) << n;
            ASSERT_EQ(frame, frame16(s.bar, 0)) << n;
        }
    }
}

TEST_F(MeterTest, SixteenLedPeakOffShowsNoDotAndKeepsThePeak) {
    g_sixteen_mode = 1;
    g_peak_mode = 1;
    set_level(16);
    tick();
    g_peak_mode = 0;
    set_spectrum(0.0);
    for (int n = 1; n <= 30; ++n) {
        const int bar = std::max(15 - (n - 1) / 6, 0);
        ASSERT_EQ(tick(), frame16(bar, 0)) << n;
        ASSERT_EQ(state().lower_dot, 0);
        ASSERT_EQ(state().upper_dot, 0);
        ASSERT_EQ(state().peak, 16);
        ASSERT_EQ(state().peak_position, 16.0);
        ASSERT_EQ(state().peak_age, 0);
    }
}

TEST_F(MeterTest, EightLedPeakOffClearsTheDotButKeepsItsAge) {
    g_peak_mode = 1;
    set_level(8);
    tick();
    set_spectrum(0.0);
    for (int n = 0; n < 20; ++n) tick();
    g_peak_mode = 0;
    EXPECT_EQ(tick(), frame8(5, 0));
    EXPECT_EQ(state().peak, 0);
    EXPECT_EQ(state().peak_age, 20);
}

// The options are read on every tick: a switch to 8 LEDs carries a bar and a
// peak above 8 into frames that still index within the tables.
TEST_F(MeterTest, SwitchFromSixteenToEightKeepsFramesValid) {
    g_sixteen_mode = 1;
    g_peak_mode = 1;
    set_level(16);
    EXPECT_EQ(tick().size(), 6u);
    g_sixteen_mode = 0;
    set_spectrum(0.0);
    for (int n = 1; n <= 300; ++n) {
        const Writes frame = tick();
        const MeterState& s = state();
        ASSERT_EQ(frame, frame8(std::min(s.bar, 8), std::min(s.peak, 8))) << n;
    }
    EXPECT_EQ(tick(), frame8(0, 0));
    g_sixteen_mode = 1;
    EXPECT_EQ(tick().size(), 6u);
}

TEST_F(MeterTest, FramesStayWithinTheTablesWhateverTheStateHolds) {
    const MeterState odd[] = {
        {0, 1000, 0.0, 1000, 0, 0, 1000.0, 0, 0, 0, 0},
        {0, INT_MAX, 1e300, INT_MIN, 5, 99, -1e300, -7, 99, -7, 99},
        {0, -50, -3.0, -50, 100, 100, 16.0, 0, 0, 0, 0},
    };
    for (bool sixteen : {false, true}) {
        for (bool peak : {false, true}) {
            for (const MeterState& s : odd) {
                g_meter_state = s;
                g_sixteen_mode = sixteen;
                g_peak_mode = peak;
                const Writes frame = tick();
                ASSERT_EQ(frame.size(), sixteen ? 6u : 2u);
            }
        }
    }
}

}  // namespace
