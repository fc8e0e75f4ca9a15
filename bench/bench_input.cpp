// The benchmarks' fixed input block and meter configuration. The block is
// built once from integer arithmetic and the standard sine, so every run and
// every program measures the same samples.
#include "bench/bench_input.h"

#include <cmath>

#include "app/options.h"
#include "audio/analysis.h"
#include "port/port.h"

namespace {
constexpr int BLOCK_SAMPLES = 2048;
int16_t g_samples[BLOCK_SAMPLES];
WaveHeader g_header;
}  // namespace

WaveHeader* bench_block() {
    if (g_header.lpData == nullptr) {
        uint32_t noise = 12345;
        for (int i = 0; i < BLOCK_SAMPLES; ++i) {
            noise = noise * 1664525u + 1013904223u;
            double tone = 12000.0 * std::sin(i * 0.1423) + 6000.0 * std::sin(i * 0.731);
            g_samples[i] = static_cast<int16_t>(tone + static_cast<double>(noise >> 20) - 2048.0);
        }
        g_header.lpData = reinterpret_cast<char*>(g_samples);
        g_header.dwBufferLength = sizeof g_samples;
        g_header.dwBytesRecorded = sizeof g_samples;
    }
    return &g_header;
}

void bench_meter_setup(bool sixteen, bool peak) {
    g_platform_kind = PLATFORM_DRIVER;
    g_sixteen_mode.store(sixteen ? 1 : 0, std::memory_order_relaxed);
    g_peak_mode.store(peak ? 1 : 0, std::memory_order_relaxed);
    analyse_block(bench_block());
}

void bench_vary_spectrum(uint32_t n) {
    // One bin follows a triangle from 0 to beyond full scale and back over 400
    // calls: the level climbs to the ceiling, then falls to the block's own.
    uint32_t phase = n % 400;
    double gain = (phase < 200 ? phase : 400 - phase) / 200.0;
    g_spectrum[5].store(140000.0 * gain, std::memory_order_relaxed);
}
