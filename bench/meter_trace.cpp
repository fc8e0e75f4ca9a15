// Prints what the LEDs show, tick by tick, when the program's own meter runs
// on a known input: the real meter_tick and frame output, with the register
// writes played into the LED board model (transparent latches). For the
// pictures in docs/ and for checking a signal's levels without audio hardware.
//
//   meter_trace scenario NAME     a timing scenario of the meter (see below)
//   meter_trace pcm [-16bit] [-peak] [-gain=DB|auto] < RAW
//       RAW is mono signed 16-bit little-endian PCM at 44,100 Hz; each
//       2,048-sample block is analysed when its last sample is in, and a tick
//       runs every 441 samples, as in the running program (no audio server).
//       -gain= sets the sensitivity (default 0 dB).
// Output: one line per tick, "tick leds level bar peak gain", leds as a bit
// mask (bit 0 = LED 1) of the 8 or 16 LEDs in use, gain the factor (not dB)
// that the tick applied.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/options.h"
#include "app/shell.h"
#include "audio/analysis.h"
#include "board/led_board.h"
#include "meter/gain.h"
#include "meter/meter.h"
#include "port/port.h"

namespace {

LedBoard g_board;

constexpr int SAMPLES_PER_TICK = 441;  // 10 ms at 44,100 Hz
constexpr int BLOCK_SAMPLES = 2048;

struct Step {
    int ticks;
    int level;  // in LEDs of the display size in use
};

struct Scenario {
    const char* name;
    bool sixteen;
    bool peak;
    Step steps[4];
};

// The timing tables' cases: one tick at full level then silence, and the dot
// passing into the bar.
const Scenario SCENARIOS[] = {
    {"8-fall", false, true, {{1, 8}, {180, 0}, {0, 0}, {0, 0}}},
    {"16-fall", true, true, {{1, 16}, {130, 0}, {0, 0}, {0, 0}}},
    {"8-dot-in-bar", false, true, {{1, 8}, {99, 6}, {0, 0}, {0, 0}}},
    {"16-dot-in-bar", true, true, {{1, 16}, {75, 11}, {74, 2}, {0, 0}}},
    {"16-no-peak", true, false, {{1, 16}, {130, 0}, {0, 0}, {0, 0}}},
};

void trace_print(int tick) {
    bool sixteen = g_sixteen_mode.load() != 0;
    unsigned leds = sixteen ? board_latched_leds(&g_board) : board_direct_leds(&g_board);
    const MeterState& s = g_meter_state;
    std::printf("%d %u %d %d %d %.6g\n", tick, leds, s.level, s.bar, s.peak, gain_factor_in_use());
}

void trace_set_level(int level, bool sixteen) {
    for (auto& bin : g_spectrum) bin.store(0.0);
    g_spectrum[0].store(level * (sixteen ? 4096.0 : 8192.0));
}

int trace_scenario(const char* name) {
    for (const Scenario& scenario : SCENARIOS) {
        if (std::strcmp(scenario.name, name) != 0) continue;
        g_sixteen_mode.store(scenario.sixteen ? 1 : 0);
        g_peak_mode.store(scenario.peak ? 1 : 0);
        int tick = 0;
        for (const Step& step : scenario.steps) {
            trace_set_level(step.level, scenario.sixteen);
            for (int i = 0; i < step.ticks; ++i, ++tick) {
                meter_tick();
                trace_print(tick);
            }
        }
        return 0;
    }
    std::fprintf(stderr, "meter_trace: no scenario '%s'; there are:", name);
    for (const Scenario& scenario : SCENARIOS) std::fprintf(stderr, " %s", scenario.name);
    std::fprintf(stderr, "\n");
    return 2;
}

int trace_pcm() {
    std::vector<int16_t> block(BLOCK_SAMPLES);
    WaveHeader header{};
    header.lpData = reinterpret_cast<char*>(block.data());
    header.dwBufferLength = BLOCK_SAMPLES * 2;
    long next_tick_sample = SAMPLES_PER_TICK;
    long block_end = 0;
    int tick = 0;
    while (std::fread(block.data(), 2, BLOCK_SAMPLES, stdin) == BLOCK_SAMPLES) {
        block_end += BLOCK_SAMPLES;
        // The ticks before this block is complete see the previous spectrum.
        for (; next_tick_sample < block_end; next_tick_sample += SAMPLES_PER_TICK, ++tick) {
            meter_tick();
            trace_print(tick);
        }
        analyse_block(&header);
    }
    return 0;
}

}  // namespace

// The port: every write goes into the board model.
void port_out_channel(uint16_t port, uint8_t value) { board_write(&g_board, uint16_t(port - g_port_base), value); }
void port_out_direct(uint16_t port, uint8_t value) { port_out_channel(port, value); }
void shell_menu_set_state(uint32_t, uint32_t) {}

int main(int argc, char** argv) {
    board_reset(&g_board, BOARD_LATCH_TRANSPARENT);
    g_platform_kind = PLATFORM_DRIVER;
    if (argc == 3 && std::strcmp(argv[1], "scenario") == 0) return trace_scenario(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "pcm") == 0) {
        for (int i = 2; i < argc; ++i) {
            if (std::strcmp(argv[i], "-16bit") == 0) g_sixteen_mode.store(1);
            else if (std::strcmp(argv[i], "-peak") == 0) g_peak_mode.store(1);
            else if (std::strcmp(argv[i], "-gain=auto") == 0) gain_set_auto();
            else if (std::strncmp(argv[i], "-gain=", 6) == 0) gain_set_fixed(std::strtod(argv[i] + 6, nullptr));
        }
        return trace_pcm();
    }
    std::fprintf(stderr, "usage: meter_trace scenario NAME | meter_trace pcm [-16bit] [-peak] [-gain=DB|auto] < RAW\n");
    return 2;
}
