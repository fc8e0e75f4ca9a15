// The sensitivity: a fixed gain scales the spectrum maximum before it is
// quantised, exactly 1.0 at 0 dB; the automatic law, on generated music, tones,
// noise and silence fed through the real analysis and meter (a tick every 441
// samples), on 8 and 16 LEDs, at both rhythms of analysis: a block every
// 2,048 samples (Windows), and the newest sound every 941 (Linux, a new
// quantum from the sound server about every 21 ms). Measured: the lit bar with
// the peak dot off (docs/sensitivity.md).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <string>
#include <vector>

#include "app/options.h"
#include "audio/analysis.h"
#include "meter/gain.h"
#include "meter/meter.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"
#include "tests/unit/test_block.h"

namespace {

constexpr int RATE = 44100, BEAT = RATE / 2;  // 120 beats a minute
constexpr double TWO_PI = 6.283185307179586;

void gain_one_tick(double maximum) {
    for (auto& e : g_spectrum) e.store(0.0);
    g_spectrum[7].store(maximum);
    fake_log_clear();
    meter_tick();
}

TEST(Gain, FixedGainScalesTheMaximumBeforeQuantising) {
    fake_port_reset();
    const double below_edge = std::nextafter(65536.0, 0.0);  // any factor but exactly 1.0 moves one of these
    const struct { double db, maximum; int level8, level16; } cases[] = {
        {0, below_edge, 7, 15}, {0, 65536, 8, 16}, {12, 8192, 3, 7},   {-20, 131072, 1, 3},
        {40, 700, 8, 16},       {40, 81, 0, 1},    {55, 81, 0, 1},     {-35, 131072, 1, 3},
        {NAN, below_edge, 7, 15},
    };
    for (const auto& c : cases) {
        for (bool sixteen : {false, true}) {
            meter_reset();
            gain_set_fixed(18.0);  // so that 0 dB is set, not kept from the reset
            gain_set_fixed(c.db);
            g_sixteen_mode = sixteen;
            g_peak_mode = 0;
            gain_one_tick(c.maximum);
            EXPECT_EQ(g_meter_state.level, sixteen ? c.level16 : c.level8) << c.db << " dB, " << c.maximum;
        }
    }
}

// Automatic chosen again (another source of sound) starts the law afresh: the
// first second's ceiling follows the new sound, not the loudest of the old one.
TEST(Gain, AutomaticChosenAgainStartsAfresh) {
    fake_port_reset();
    gain_set_auto();
    gain_one_tick(60000.0);
    EXPECT_DOUBLE_EQ(gain_factor_in_use(), 49152.0 / 60000.0);
    gain_set_auto();
    gain_one_tick(3000.0);
    EXPECT_DOUBLE_EQ(gain_factor_in_use(), 49152.0 / 3000.0);
}

// A song at 120 beats a minute, sample by sample: kick (beats 1 and 3), snare
// (2 and 4), hi-hats on the eighths, bass and a melody, with dynamics from bar
// to bar; in three arrangements, brought to an exact RMS (dBFS against a
// full-scale square wave), loud peaks softly limited as a master's are.
enum Kind { STEADY, BEAT_HEAVY, BREAKDOWN };
const struct { double kick, snare, hat, bass, melody, bar_gain[8]; } ARRANGEMENTS[] = {
    {0.35, 0.25, 0.10, 0.55, 0.35, {0.8, 0.9, 1.0, 0.95, 0.85, 1.0, 0.9, 1.0}},
    {1.00, 0.80, 0.25, 0.30, 0.12, {0.5, 0.65, 0.8, 1.0, 0.5, 0.65, 0.8, 1.0}},   // a crescendo per half
    {0.35, 0.25, 0.10, 0.55, 0.35, {0.8, 0.9, 1.0, 0.95, 0.0, 0.0, 0.7, 1.0}},    // bars 5-6: hi-hats alone
};
const double ROOTS[4] = {110.0, 87.31, 130.81, 98.0};
const double MELODY[8] = {440.0, 523.25, 659.25, 587.33, 523.25, 659.25, 783.99, 659.25};

std::vector<int16_t> music(Kind kind, double seconds, double rms_db) {
    const auto& a = ARRANGEMENTS[kind];
    std::vector<double> mix(static_cast<size_t>(seconds * RATE));
    uint32_t seed = 2024;
    double last_noise = 0.0;
    for (size_t i = 0; i < mix.size(); ++i) {
        const long beat = static_cast<long>(i) / BEAT, bar = beat / 4;
        const double t = static_cast<double>(i % BEAT) / RATE, t8 = std::fmod(t, 0.25);
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0, hiss = noise - last_noise;
        last_noise = noise;
        const double g = a.bar_gain[bar % 8], root = ROOTS[bar % 4], f = MELODY[(i / (BEAT / 2) + bar) % 8];
        const double drum = beat % 2 == 0
            ? a.kick * std::sin(TWO_PI * (50.0 * t + 4.4 * (1.0 - std::exp(-25.0 * t)))) * std::exp(-9.0 * t)
            : a.snare * (0.7 * noise + 0.5 * std::sin(TWO_PI * 190.0 * t)) * std::exp(-18.0 * t);
        const double tones = a.bass * (std::sin(TWO_PI * root * t) + 0.4 * std::sin(2 * TWO_PI * root * t)) * std::exp(-3.0 * t) +
                             a.melody * std::sin(TWO_PI * f * t8) * std::min(1.0, t8 / 0.01) * std::exp(-5.0 * t8);
        mix[i] = g > 0.0 ? g * (drum + tones + 0.5 * a.hat * hiss * std::exp(-70.0 * t8)) : 0.05 * hiss * std::exp(-70.0 * t8);
    }
    std::vector<int16_t> out(mix.size());
    double scale = 32768.0 * std::pow(10.0, rms_db / 20.0) * 10.0;  // a first guess, corrected below
    for (int round = 0; round < 30; ++round) {
        double sum = 0.0;
        for (size_t i = 0; i < mix.size(); ++i) {
            const double x = mix[i] * scale, knee = 24576.0, room = 32767.0 - knee;
            out[i] = static_cast<int16_t>(std::lround(std::fabs(x) <= knee ? x : std::copysign(knee + room * std::tanh((std::fabs(x) - knee) / room), x)));
            sum += static_cast<double>(out[i]) * out[i];
        }
        const double missing = rms_db - 10.0 * std::log10(sum / static_cast<double>(out.size()) / (32768.0 * 32768.0));
        if (std::fabs(missing) < 0.01) break;
        scale *= std::pow(10.0, missing / 20.0);
    }
    return out;
}

// A tone in the middle of bin 8 (all of it in one bin: the worst case for the gate) or white noise.
std::vector<int16_t> other(bool tone, double rms_db, double seconds) {
    std::vector<int16_t> out(static_cast<size_t>(seconds * RATE));
    const double rms = 32768.0 * std::pow(10.0, rms_db / 20.0);
    uint32_t seed = 99;
    for (size_t i = 0; i < out.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        out[i] = static_cast<int16_t>(std::lround(tone ? rms * std::sqrt(2.0) * std::sin(TWO_PI * 8.0 * static_cast<double>(i) / 1024.0)
                                                       : rms * std::sqrt(3.0) * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0)));
    }
    return out;
}

std::vector<int16_t> then(std::vector<int16_t> a, const std::vector<int16_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

enum Expect { MUSIC, RISE, DARK, LIMIT };

// How often a new spectrum comes, and which samples it analyses: the first
// 1,024 of each 2,048-sample block as it completes, or the newest 1,024 at
// each quantum of the sound server.
struct Rhythm {
    long every;  // samples between two spectra
    long back;   // the analysed samples start this many samples before the spectrum's time
};
constexpr Rhythm EVERY_BLOCK = {2048, 2048}, NEWEST_EVERY_QUANTUM = {941, 1024};

void automatic_law_outcomes(const Rhythm& rhythm) {
    fake_port_reset();
    // `from`: the window measured starts there (s); `sound`: the first second of sound starts there.
    const struct { std::string name; std::vector<int16_t> pcm; Expect expect; double from, sound; } cases[] = {
        {"steady -30", music(STEADY, 20, -30), MUSIC, 3, 0},
        {"steady -18", music(STEADY, 20, -18), MUSIC, 3, 0},
        {"steady -6", music(STEADY, 20, -6), MUSIC, 3, 0},
        {"beat-heavy -30", music(BEAT_HEAVY, 20, -30), MUSIC, 3, 0},
        {"beat-heavy -18", music(BEAT_HEAVY, 20, -18), MUSIC, 3, 0},
        {"beat-heavy -6", music(BEAT_HEAVY, 20, -6), MUSIC, 3, 0},
        {"breakdown -30", music(BREAKDOWN, 20, -30), MUSIC, 3, 0},
        {"breakdown -6", music(BREAKDOWN, 20, -6), MUSIC, 3, 0},
        {"silence, then steady -30", then(std::vector<int16_t>(2 * RATE), music(STEADY, 20, -30)), MUSIC, 5, 2},
        {"silence, then breakdown -18", then(std::vector<int16_t>(2 * RATE), music(BREAKDOWN, 20, -18)), MUSIC, 5, 2},
        {"silence, then beat-heavy -6", then(std::vector<int16_t>(2 * RATE), music(BEAT_HEAVY, 20, -6)), MUSIC, 5, 2},
        {"steady rise by 20 dB", then(music(STEADY, 10, -26), music(STEADY, 10, -6)), RISE, 10, 0},
        {"beat-heavy rise by 20 dB", then(music(BEAT_HEAVY, 10, -26), music(BEAT_HEAVY, 10, -6)), RISE, 10, 0},
        {"breakdown rise by 20 dB", then(music(BREAKDOWN, 10, -26), music(BREAKDOWN, 10, -6)), RISE, 10, 0},
        {"steady drop by 20 dB", then(music(STEADY, 10, -6), music(STEADY, 22, -26)), MUSIC, 15, 0},
        {"beat-heavy drop by 20 dB", then(music(BEAT_HEAVY, 10, -6), music(BEAT_HEAVY, 22, -26)), MUSIC, 15, 0},
        {"breakdown drop by 20 dB", then(music(BREAKDOWN, 10, -6), music(BREAKDOWN, 22, -26)), MUSIC, 15, 0},
        {"music, 6 s of hiss at -61, music", then(then(music(STEADY, 8, -18), other(false, -61, 6)), music(STEADY, 16, -18)), MUSIC, 14, 0},
        {"silence", std::vector<int16_t>(10 * RATE), DARK, 0, 0},
        {"music, then hiss at -61", then(music(STEADY, 8, -18), other(false, -61, 10)), DARK, 9.5, 0},
        {"music, then a tone at -61", then(music(BEAT_HEAVY, 8, -18), other(true, -61, 10)), DARK, 9.5, 0},
        {"a tone at -50", other(true, -50, 15), LIMIT, 0, 0},
    };
    static TestBlock block;
    for (const auto& c : cases) {
        for (bool sixteen : {false, true}) {
            const int top = sixteen ? 16 : 8, from = static_cast<int>(c.from * 100);
            meter_reset();
            g_sixteen_mode = sixteen;
            g_peak_mode = 0;
            for (auto& e : g_spectrum) e.store(0.0);
            gain_set_auto();
            std::vector<int> bar;  // the lit bar, tick by tick
            std::vector<double> db;
            const long size = static_cast<long>(c.pcm.size());
            long next_tick = 441;
            for (long at = rhythm.every; at <= size; at += rhythm.every) {
                for (; next_tick < at; next_tick += 441) {
                    fake_log_clear();
                    meter_tick();
                    bar.push_back(g_meter_state.bar);
                    db.push_back(20.0 * std::log10(gain_factor_in_use()));
                }
                analyse_block(test_block_fill(block, [&](int i) {
                    const long sample = at - rhythm.back + i;
                    return sample >= 0 && sample < size ? c.pcm[static_cast<size_t>(sample)] : int16_t{0};
                }));
            }
            const std::string what = c.name + (sixteen ? " on 16" : " on 8");
            EXPECT_LE(*std::max_element(db.begin(), db.end()), 40.0 + 1e-9) << what;
            const auto median = [](std::vector<double> v) {
                std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
                return v[v.size() / 2];
            };
            const std::vector<double> window(bar.begin() + from, bar.end()), first5(bar.begin() + from, bar.begin() + from + 500);
            int run = 0, longest = 0;
            for (double b : window) longest = std::max(longest, run = b == top ? run + 1 : 0);
            const auto first_second = bar.begin() + static_cast<long>(c.sound * 100);
            EXPECT_TRUE((c.expect != MUSIC && c.expect != RISE) || std::count(first_second, first_second + 100, top) <= 20)
                << what << ": at the top for " << std::count(first_second, first_second + 100, top) << " ticks of the first second";
            if (getenv("GAIN_STATS") && c.expect != LIMIT) {
                std::vector<double> lv; // quantised not available; use bar
                auto med = [](std::vector<double> v) { std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end()); return v[v.size() / 2]; };
                std::vector<double> w(window.begin(), window.end());
                std::vector<double> fs(first_second, first_second + 100);
                printf("STAT|%s|%d|%s|med %.0f|max %.0f|top %.1f%%|db3 %+.1f|dbmed %+.1f|first: top %ld med %.0f max %.0f|longest %d\n", rhythm.every == 2048 ? "46" : "21", top, c.name.c_str(),
                    med(w), *std::max_element(w.begin(), w.end()), 100.0 * std::count(w.begin(), w.end(), (double)top) / w.size(),
                    db[from], med(std::vector<double>(db.begin() + from, db.end())),
                    (long)std::count(fs.begin(), fs.end(), (double)top), med(fs), *std::max_element(fs.begin(), fs.end()), longest);
            }
            if (c.expect == MUSIC) {
                // Settled by `from`: the gain within 3 dB of its median from there on; then the bar's laws.
                EXPECT_NEAR(db[from], median(std::vector<double>(db.begin() + from, db.end())), 3.0) << what;
                for (const auto& part : {first5, window}) {
                    EXPECT_GE(median(part), 3 * top / 8) << what << ", " << part.size() << " ticks";
                    EXPECT_LE(median(part), 6 * top / 8) << what << ", " << part.size() << " ticks";
                }
                EXPECT_GE(*std::max_element(window.begin(), window.end()), 7 * top / 8) << what;
                EXPECT_LE(std::count(window.begin(), window.end(), top), static_cast<long>(window.size()) / 5) << what;
            }
            EXPECT_TRUE(c.expect != RISE || longest <= 50) << what << ": at the top for " << longest << " ticks";
            EXPECT_TRUE(c.expect != DARK || *std::max_element(window.begin(), window.end()) == 0) << what << " lights";
            EXPECT_TRUE(c.expect != LIMIT || *std::max_element(db.begin(), db.end()) > 40.0 - 1e-9) << what;
        }
    }
}

TEST(Gain, AutomaticLawOutcomesWithABlockEvery46Ms) { automatic_law_outcomes(EVERY_BLOCK); }

TEST(Gain, AutomaticLawOutcomesWithTheNewestSoundEvery21Ms) { automatic_law_outcomes(NEWEST_EVERY_QUANTUM); }

}  // namespace
