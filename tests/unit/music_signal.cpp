// Music-like test signals (see music_signal.h): the song is added up note by
// note in doubles from a fixed noise seed, scaled, softly limited, and scaled
// again until its RMS is the one asked for.
#include "tests/unit/music_signal.h"

#include <cmath>

namespace {

constexpr int RATE = 44100;
constexpr int BEAT = RATE / 2;  // 120 beats a minute
constexpr int BAR = 4 * BEAT;
constexpr double TWO_PI = 6.283185307179586;
constexpr double KNEE = 24576.0;  // where the limiter starts: three quarters of full scale

struct Arrangement {
    double kick, snare, hat, bass, melody, pad;
    double bar_gain[8];  // dynamics over the eight-bar phrase
    int quiet_bars[2];   // bars with hi-hats and pad alone (-1: none)
};

const Arrangement ARRANGEMENTS[] = {
    {0.35, 0.25, 0.10, 0.55, 0.35, 0.20, {0.80, 0.90, 1.00, 0.95, 0.85, 1.00, 0.90, 1.00}, {-1, -1}},
    {1.00, 0.80, 0.25, 0.30, 0.12, 0.00, {0.50, 0.65, 0.80, 1.00, 0.50, 0.65, 0.80, 1.00}, {-1, -1}},
    {0.35, 0.25, 0.10, 0.55, 0.35, 0.20, {0.80, 0.90, 1.00, 0.95, 0.30, 0.30, 0.70, 1.00}, {4, 5}},
};

const double ROOTS[4] = {110.0, 87.31, 130.81, 98.0};  // A, F, C, G: one chord a bar
const double CHORD_STEPS[3] = {1.0, 1.2599, 1.4983};    // root, third, fifth (even-tempered major)
const double MELODY[8] = {440.0, 523.25, 659.25, 587.33, 523.25, 659.25, 783.99, 659.25};

uint32_t g_seed;
double g_hat_last;  // the hi-hat's high-pass memory
double music_noise() {
    g_seed = g_seed * 1664525u + 1013904223u;
    return static_cast<double>(g_seed >> 8) / 8388608.0 - 1.0;
}

void music_add(std::vector<double>& mix, long start, int length, double gain, double (*sound)(double, double), double pitch) {
    for (int i = 0; i < length && start + i < static_cast<long>(mix.size()); ++i)
        mix[start + i] += gain * sound(static_cast<double>(i) / RATE, pitch);
}

double kick(double t, double) {
    // The pitch falls from 160 to 50 Hz: its phase is the integral of that sweep.
    const double phase = TWO_PI * (50.0 * t + 110.0 / 25.0 * (1.0 - std::exp(-25.0 * t)));
    return std::sin(phase) * std::exp(-9.0 * t);
}
double snare(double t, double) { return (0.7 * music_noise() + 0.5 * std::sin(TWO_PI * 190.0 * t)) * std::exp(-18.0 * t); }
double hat(double t, double) {
    const double noise = music_noise(), out = (noise - g_hat_last) * 0.5;
    g_hat_last = noise;
    return out * std::exp(-70.0 * t);
}
double attack(double t) { return t < 0.01 ? t / 0.01 : 1.0; }
double bass(double t, double f) {
    return (std::sin(TWO_PI * f * t) + 0.4 * std::sin(2.0 * TWO_PI * f * t)) * attack(t) * std::exp(-3.0 * t);
}
double melody(double t, double f) {
    return (std::sin(TWO_PI * f * t) + 0.3 * std::sin(3.0 * TWO_PI * f * t)) * attack(t) * std::exp(-5.0 * t);
}
double pad(double t, double f) {
    double sum = 0.0;
    for (double step : CHORD_STEPS) sum += std::sin(TWO_PI * 2.0 * f * step * t);
    const double fade = std::fmin(attack(t * 0.2), attack((2.0 - t) * 0.2));
    return sum / 3.0 * fade;
}

std::vector<double> music_song(const Arrangement& a, long length) {
    std::vector<double> mix(length, 0.0);
    g_seed = 20240613u;
    g_hat_last = 0.0;
    for (long bar = 0; bar * BAR < length; ++bar) {
        const int in_phrase = static_cast<int>(bar % 8);
        const double g = a.bar_gain[in_phrase];
        const bool quiet = in_phrase == a.quiet_bars[0] || in_phrase == a.quiet_bars[1];
        const double root = ROOTS[bar % 4];
        const long start = bar * BAR;
        music_add(mix, start, BAR, a.pad * g, pad, root);
        for (int eighth = 0; eighth < 8; ++eighth)
            music_add(mix, start + eighth * BEAT / 2, RATE / 16, a.hat * g * (eighth % 2 ? 0.6 : 1.0), hat, 0.0);
        if (quiet) continue;
        for (int beat = 0; beat < 4; ++beat) {
            const long at = start + beat * BEAT;
            music_add(mix, at, RATE * 35 / 100, a.kick * g * (beat % 2 ? 0.0 : 1.0), kick, 0.0);
            music_add(mix, at, RATE / 4, a.snare * g * (beat % 2 ? 1.0 : 0.0), snare, 0.0);
            music_add(mix, at, BEAT, a.bass * g * (beat == 0 ? 1.0 : 0.75), bass, root);
        }
        for (int eighth = 0; eighth < 8; ++eighth)
            music_add(mix, start + eighth * BEAT / 2, BEAT / 2, a.melody * g * (eighth % 4 ? 0.7 : 1.0), melody,
                      MELODY[(eighth + bar) % 8]);
    }
    return mix;
}

double music_limit(double x) {
    const double m = std::fabs(x);
    if (m <= KNEE) return x;
    const double room = 32767.0 - KNEE;
    return std::copysign(KNEE + room * std::tanh((m - KNEE) / room), x);
}

}  // namespace

double music_rms_db(const std::vector<int16_t>& samples) {
    double sum = 0.0;
    for (int16_t v : samples) sum += static_cast<double>(v) * v;
    return 10.0 * std::log10(sum / static_cast<double>(samples.size()) / (32768.0 * 32768.0));
}

std::vector<int16_t> music_signal(MusicKind kind, double seconds, double rms_db) {
    const std::vector<double> song = music_song(ARRANGEMENTS[static_cast<int>(kind)], std::lround(seconds * RATE));
    std::vector<int16_t> out(song.size());
    double sum = 0.0;
    for (double v : song) sum += v * v;
    double scale = 32768.0 * std::pow(10.0, rms_db / 20.0) / std::sqrt(sum / static_cast<double>(song.size()));
    // The limiter takes some of the RMS away: scale up by what is missing until it is within 0.01 dB.
    for (int round = 0; round < 20; ++round) {
        for (size_t i = 0; i < song.size(); ++i) out[i] = static_cast<int16_t>(std::lround(music_limit(song[i] * scale)));
        const double missing = rms_db - music_rms_db(out);
        if (std::fabs(missing) < 0.01) break;
        scale *= std::pow(10.0, missing / 20.0);
    }
    return out;
}
