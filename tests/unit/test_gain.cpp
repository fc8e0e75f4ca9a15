// The sensitivity. A fixed gain scales the spectrum maximum and nothing else,
// exactly 1.0 at 0 dB. The automatic law is judged on generated music, tones,
// noise and silence fed through the real analysis and meter, blocks and ticks
// in the running program's proportion, on 8 and 16 LEDs. What is measured is
// the lit bar (peak dot off), tick by tick: its median, its highest value and
// its share of ticks at the top, as docs/sensitivity.md states.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "app/options.h"
#include "audio/analysis.h"
#include "meter/gain.h"
#include "meter/meter.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"
#include "tests/unit/music_signal.h"
#include "tests/unit/test_block.h"

namespace {

constexpr int RATE = 44100;
constexpr int TICK_SAMPLES = 441;  // 10 ms
constexpr int BLOCK_SAMPLES = 2048;

class GainTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_log_clear();
        fake_port_reset();
        meter_reset();
        g_peak_mode = 0;
        g_sixteen_mode = 0;
        for (auto& e : g_spectrum) e.store(0.0);
    }
};

TEST_F(GainTest, FixedGainScalesTheMaximumBeforeQuantising) {
    struct Case {
        double db;  // as set (out of range and NaN included)
        double maximum;
        int level8, level16;
    };
    const double below_edge = std::nextafter(65536.0, 0.0);  // any factor but exactly 1.0 moves one of these
    const Case cases[] = {
        {0.0, below_edge, 7, 15},   {0.0, 65536.0, 8, 16},    {0.0, 8191.99, 0, 1},   {12.0, 8192.0, 3, 7},
        {-20.0, 131072.0, 1, 3}, {40.0, 700.0, 8, 16},     {40.0, 81.0, 0, 1},     {55.0, 700.0, 8, 16},
        {55.0, 81.0, 0, 1},      {-35.0, 131072.0, 1, 3},  {NAN, 65535.9, 7, 15},  {NAN, 65536.0, 8, 16},
    };
    for (const Case& c : cases) {
        for (bool sixteen : {false, true}) {
            // meter_reset returns to 0 dB: set a different gain first, so 0 dB is set, not kept.
            gain_set_fixed(18.0);
            const int want = sixteen ? c.level16 : c.level8;
            gain_set_fixed(c.db);
            g_sixteen_mode = sixteen;
            for (auto& e : g_spectrum) e.store(0.0);
            g_spectrum[7].store(c.maximum);
            meter_tick();
            EXPECT_EQ(g_meter_state.level, want) << c.db << " dB, " << c.maximum << (sixteen ? " on 16" : " on 8");
        }
    }
}

// The same sequence of maxima at 0 dB, and at +12 dB divided by the factor,
// gives the same frames tick by tick, peak dot and both sizes included: the
// gain changes the scale, not the ballistics, the peak or the frames.
TEST_F(GainTest, FixedGainChangesNothingButTheScale) {
    const double factor = std::pow(10.0, 12.0 / 20.0);
    for (bool sixteen : {false, true}) {
        std::vector<std::vector<std::pair<uint16_t, uint8_t>>> frames[2];
        for (int run = 0; run < 2; ++run) {
            meter_reset();
            g_sixteen_mode = sixteen;
            g_peak_mode = 1;
            if (run == 1) gain_set_fixed(12.0);
            for (int n = 0; n < 400; ++n) {
                // Levels jump and fall; each maximum sits mid-way between two quantisation edges.
                const int level = (n * 7 + (n / 50) * 3) % (sixteen ? 17 : 9) * (n % 60 < 20 ? 1 : 0);
                const double maximum = (level + 0.5) * (sixteen ? 4096.0 : 8192.0);
                for (auto& e : g_spectrum) e.store(0.0);
                g_spectrum[3].store(run == 1 ? maximum / factor : maximum);
                fake_log_clear();
                meter_tick();
                frames[run].push_back(fake_log_port_writes());
            }
        }
        EXPECT_EQ(frames[0], frames[1]) << (sixteen ? "16 LEDs" : "8 LEDs");
    }
}

// Signals for the automatic law, put together from segments.
enum class Source { Music, Tone, Noise, Silence };

struct Segment {
    Source source;
    double rms_db;
    double seconds;
    MusicKind kind;
};

std::vector<int16_t> gain_signal(const std::vector<Segment>& segments) {
    std::vector<int16_t> pcm;
    uint32_t seed = 99;
    for (const Segment& s : segments) {
        const long n = std::lround(s.seconds * RATE);
        const double rms = 32768.0 * std::pow(10.0, s.rms_db / 20.0);
        if (s.source == Source::Music) {
            const std::vector<int16_t> music = music_signal(s.kind, s.seconds, s.rms_db);
            pcm.insert(pcm.end(), music.begin(), music.end());
            continue;
        }
        for (long i = 0; i < n; ++i) {
            double v = 0.0;
            if (s.source == Source::Tone) {
                // 344.5 Hz: 8 whole periods in the analysed 1,024 samples, all of it in one bin.
                v = rms * std::sqrt(2.0) * std::sin(6.283185307179586 * 8.0 * static_cast<double>(i) / 1024.0);
            } else if (s.source == Source::Noise) {
                seed = seed * 1664525u + 1013904223u;
                v = rms * std::sqrt(3.0) * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
            }
            pcm.push_back(static_cast<int16_t>(std::lround(v)));
        }
    }
    return pcm;
}

struct Trace {
    std::vector<int> bar;       // the lit bar, one element per tick
    std::vector<double> db;     // the gain that tick applied
    double highest_factor = 0.0;
};

// Feeds `pcm` as the capture ring would: each 2,048-sample block is analysed
// when its last sample is in, and a tick runs every 441 samples.
Trace gain_run(const std::vector<int16_t>& pcm, bool sixteen) {
    meter_reset();
    g_sixteen_mode = sixteen;
    g_peak_mode = 0;
    for (auto& e : g_spectrum) e.store(0.0);
    gain_set_auto();
    static TestBlock block;
    Trace trace;
    long next_tick = TICK_SAMPLES;
    for (size_t start = 0; start + BLOCK_SAMPLES <= pcm.size(); start += BLOCK_SAMPLES) {
        for (; next_tick < static_cast<long>(start + BLOCK_SAMPLES); next_tick += TICK_SAMPLES) {
            fake_log_clear();
            meter_tick();
            trace.bar.push_back(g_meter_state.bar);
            trace.db.push_back(20.0 * std::log10(gain_factor_in_use()));
            trace.highest_factor = std::max(trace.highest_factor, gain_factor_in_use());
        }
        test_block_fill(block, [&](int i) { return pcm[start + i]; });
        analyse_block(&block.header);
    }
    return trace;
}

int tick_at(double seconds) { return static_cast<int>(seconds * 100.0); }

enum class Expect {
    Music,  // from `from` on: settled, median in the middle, the top reached, not often full
    Rise,   // from `from` on: no run at the top longer than 0.5 s
    Dark,   // from `from` on: every tick dark
    Limit,  // the gain reaches +40 dB and goes no further
};

struct AutoCase {
    const char* name;
    std::vector<Segment> segments;
    Expect expect;
    double from;  // seconds
};

TEST_F(GainTest, AutomaticLawOutcomes) {
    using K = MusicKind;
    const auto music = [](K kind, double db, double seconds) { return Segment{Source::Music, db, seconds, kind}; };
    const auto other = [](Source source, double db, double seconds) { return Segment{source, db, seconds, K::Steady}; };
    const AutoCase cases[] = {
        {"steady -30", {music(K::Steady, -30, 20)}, Expect::Music, 3},
        {"steady -18", {music(K::Steady, -18, 20)}, Expect::Music, 3},
        {"steady -6", {music(K::Steady, -6, 20)}, Expect::Music, 3},
        {"beat-heavy -30", {music(K::BeatHeavy, -30, 20)}, Expect::Music, 3},
        {"beat-heavy -18", {music(K::BeatHeavy, -18, 20)}, Expect::Music, 3},
        {"beat-heavy -6", {music(K::BeatHeavy, -6, 20)}, Expect::Music, 3},
        {"breakdown -30", {music(K::Breakdown, -30, 20)}, Expect::Music, 3},
        {"breakdown -6", {music(K::Breakdown, -6, 20)}, Expect::Music, 3},
        {"steady rise by 20 dB", {music(K::Steady, -26, 10), music(K::Steady, -6, 10)}, Expect::Rise, 10},
        {"beat-heavy rise by 20 dB", {music(K::BeatHeavy, -26, 10), music(K::BeatHeavy, -6, 10)}, Expect::Rise, 10},
        {"breakdown rise by 20 dB", {music(K::Breakdown, -26, 10), music(K::Breakdown, -6, 10)}, Expect::Rise, 10},
        {"steady drop by 20 dB", {music(K::Steady, -6, 10), music(K::Steady, -26, 22)}, Expect::Music, 15},
        {"beat-heavy drop by 20 dB", {music(K::BeatHeavy, -6, 10), music(K::BeatHeavy, -26, 22)}, Expect::Music, 15},
        {"breakdown drop by 20 dB", {music(K::Breakdown, -6, 10), music(K::Breakdown, -26, 22)}, Expect::Music, 15},
        {"music, 6 s of hiss at -61, music",
         {music(K::Steady, -18, 8), other(Source::Noise, -61, 6), music(K::Steady, -18, 16)},
         Expect::Music, 14},
        {"silence", {other(Source::Silence, 0, 10)}, Expect::Dark, 0},
        {"music, then noise at -61", {music(K::Steady, -18, 8), other(Source::Noise, -61, 10)}, Expect::Dark, 9.5},
        {"music, then a tone at -61", {music(K::BeatHeavy, -18, 8), other(Source::Tone, -61, 10)}, Expect::Dark, 9.5},
        {"a tone at -50", {other(Source::Tone, -50, 15)}, Expect::Limit, 0},
    };
    for (const AutoCase& c : cases) {
        const std::vector<int16_t> pcm = gain_signal(c.segments);
        for (bool sixteen : {false, true}) {
            const int top = sixteen ? 16 : 8;
            const Trace trace = gain_run(pcm, sixteen);
            const std::string what = std::string(c.name) + (sixteen ? " on 16" : " on 8");
            std::vector<int> bar(trace.bar.begin() + tick_at(c.from), trace.bar.end());
            const int full = static_cast<int>(std::count(bar.begin(), bar.end(), top));
            int run = 0, longest = 0;
            for (int b : bar) longest = std::max(longest, run = b == top ? run + 1 : 0);
            EXPECT_LE(trace.highest_factor, 100.0 + 1e-9) << what;  // never above +40 dB
            switch (c.expect) {
                case Expect::Music: {
                    // Settled: the gain at `from` is within 3 dB of its median from there on.
                    std::vector<double> db(trace.db.begin() + tick_at(c.from), trace.db.end());
                    std::nth_element(db.begin(), db.begin() + db.size() / 2, db.end());
                    EXPECT_NEAR(trace.db[tick_at(c.from)], db[db.size() / 2], 3.0) << what;
                    // The median over the first 5 s of the window (settled in time), then over all of it.
                    for (size_t length : {static_cast<size_t>(tick_at(5)), bar.size()}) {
                        std::vector<int> part(bar.begin(), bar.begin() + length);
                        std::nth_element(part.begin(), part.begin() + length / 2, part.end());
                        EXPECT_GE(part[length / 2], 3 * top / 8) << what << ", " << length << " ticks";
                        EXPECT_LE(part[length / 2], 6 * top / 8) << what << ", " << length << " ticks";
                    }
                    EXPECT_GE(*std::max_element(bar.begin(), bar.end()), 7 * top / 8) << what;
                    EXPECT_LE(full, static_cast<int>(bar.size()) / 5) << what;
                    break;
                }
                case Expect::Rise:
                    EXPECT_LE(longest, tick_at(0.5)) << what;
                    break;
                case Expect::Dark:
                    EXPECT_EQ(*std::max_element(bar.begin(), bar.end()), 0) << what;
                    break;
                case Expect::Limit:
                    EXPECT_GT(trace.highest_factor, 100.0 - 1e-9) << what;
                    break;
            }
        }
    }
}

}  // namespace
