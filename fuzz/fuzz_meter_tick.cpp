// Fuzz target for meter_tick: runs of ticks over arbitrary spectra (negative
// values, NaN, infinities, huge and tiny values) while the two option bytes
// switch at random between ticks, from a zero start.
//
// After every tick: the port writes are exactly the 8-LED frame (control 0,
// data) or the 16-LED frame (control 3, data, 1, 3, data, 2); every data byte
// is a bar of 0..8 LEDs with at most one dot above it, worked out here
// without the frame tables; the bytes show the meter's bar and dot; and the
// meter's state stays within the ranges its laws allow.
//
// Input: records of one control byte (bit 0 peak, bit 1 sixteen LEDs,
// bits 2-4 how the spectrum changes, bits 5-7 run the record for 1, 2, 4 ...
// 128 ticks) followed by that change's operands.
#include <cmath>
#include <cstdint>
#include <limits>

#include "app/options.h"
#include "audio/analysis.h"
#include "fuzz/fuzz_port.h"
#include "fuzz/fuzz_support.h"
#include "meter/meter.h"
#include "port/port.h"

namespace {

constexpr int MAX_TICKS = 1024;  // per input: several full peak falls, and still quick
constexpr uint16_t DATA = 0x378;
constexpr uint16_t CONTROL = 0x37A;

// Values the meter's arithmetic cares about: the quantisation edges, the
// largest real magnitude, values whose scaled form leaves the int32 range,
// and the special ones.
const double INTERESTING[16] = {
    0.0, -0.0, 65536.0, 65535.9, 131072.0, -131072.0, 8192.0, 4096.0 * 9,
    1e308, -1e308, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::denorm_min(), 8192.0 * 2147483648.0};

// The bank byte with LEDs 1..bar lit and LED dot (0: none) lit.
uint8_t fuzz_bank(int bar, int dot) {
    unsigned bits = (1u << bar) - 1u;
    if (dot > 0) bits |= 1u << (dot - 1);
    return static_cast<uint8_t>(bits);
}

bool fuzz_valid_byte(uint8_t byte) {
    for (int bar = 0; bar <= 8; ++bar)
        for (int dot = 0; dot <= 8; ++dot)
            if (fuzz_bank(bar, dot) == byte) return true;
    return false;
}

int fuzz_clamp8(int32_t count) { return count < 0 ? 0 : (count > 8 ? 8 : count); }

void fuzz_store(int bin, double value) { g_spectrum[bin].store(value, std::memory_order_relaxed); }

void fuzz_fill(double value) {
    for (int k = 0; k < SPECTRUM_BINS; ++k) fuzz_store(k, value);
}

// Applies one record's change to the spectrum.
void fuzz_change_spectrum(uint8_t kind, FuzzBytes& in) {
    switch (kind) {
        case 0: break;
        case 1: {
            int bin = fuzz_u16(in) % SPECTRUM_BINS;
            fuzz_store(bin, fuzz_f64(in));
            break;
        }
        case 2: {
            int bin = fuzz_u16(in) % SPECTRUM_BINS;
            fuzz_store(bin, INTERESTING[fuzz_u8(in) % 16]);
            break;
        }
        case 3: fuzz_fill(fuzz_f64(in)); break;
        case 4: fuzz_fill(INTERESTING[fuzz_u8(in) % 16]); break;
        case 5: fuzz_fill(0.0); break;
        case 6: {
            // A level given as a fraction of the 16-LED scale, on one bin.
            int bin = fuzz_u16(in) % SPECTRUM_BINS;
            fuzz_store(bin, 4096.0 * fuzz_u8(in) / 14.0);
            break;
        }
        default: {
            // Many bins at once: a run of bins set to one value.
            int first = fuzz_u16(in) % SPECTRUM_BINS;
            int length = fuzz_u8(in) * 4;
            double value = fuzz_f64(in);
            for (int k = first; k < first + length && k < SPECTRUM_BINS; ++k) fuzz_store(k, value);
            break;
        }
    }
}

void fuzz_check_frame(bool sixteen, bool peak_on) {
    const MeterState& s = g_meter_state;
    const FuzzPortWrite* w = g_fuzz_port_writes;
    if (!sixteen) {
        fuzz_require(g_fuzz_port_count == 2, "an 8-LED frame is two writes");
        fuzz_require(w[0].port == CONTROL && w[0].value == 0, "8 LEDs: control 0 first");
        fuzz_require(w[1].port == DATA && fuzz_valid_byte(w[1].value), "8 LEDs: a bar and a dot");
        fuzz_require(w[1].value == fuzz_bank(fuzz_clamp8(s.bar), fuzz_clamp8(s.peak)),
                     "8 LEDs: the byte shows the bar and the peak");
        return;
    }
    fuzz_require(g_fuzz_port_count == 6, "a 16-LED frame is six writes");
    const uint8_t controls[4] = {3, 1, 3, 2};
    const int control_at[4] = {0, 2, 3, 5};
    for (int i = 0; i < 4; ++i)
        fuzz_require(w[control_at[i]].port == CONTROL && w[control_at[i]].value == controls[i],
                     "16 LEDs: control 3, 1, 3, 2 around the data");
    fuzz_require(w[1].port == DATA && w[4].port == DATA, "16 LEDs: two data writes");
    fuzz_require(fuzz_valid_byte(w[1].value) && fuzz_valid_byte(w[4].value), "16 LEDs: bars and dots");
    int dot = peak_on ? s.peak : 0;
    uint8_t upper = fuzz_bank(s.bar > 8 ? s.bar - 8 : 0, dot > 8 ? dot - 8 : 0);
    uint8_t lower = fuzz_bank(s.bar > 8 ? 8 : s.bar, dot > 8 ? 0 : dot);
    fuzz_require(w[1].value == upper && w[4].value == lower, "16 LEDs: the bytes show the bar and the peak");
}

void fuzz_check_state(bool sixteen) {
    const MeterState& s = g_meter_state;
    fuzz_require(s.level >= 0 && s.level <= (sixteen ? 16 : 8), "level within its ceiling");
    fuzz_require(s.bar >= 0 && s.bar <= 16, "bar within 0..16");
    fuzz_require(s.bar_ticks >= 0.0 && s.bar_ticks <= 10.0 && s.bar_ticks == std::floor(s.bar_ticks),
                 "bar_ticks a whole number within 0..10");
    fuzz_require(s.peak >= 0 && s.peak <= 16, "peak within 0..16");
    // The 8-LED law brings any peak to 0 within 40 + 16 x 15 ticks, and the
    // 16-LED gravity drops any peak below 0 in one tick once peak_age is
    // about 405; a peak at or below the level is re-armed.
    fuzz_require(s.peak_age >= 0 && s.peak_age <= 1000, "peak_age re-armed in bounded time");
    fuzz_require(s.peak_fall_ticks >= 0 && s.peak_fall_ticks <= 15, "peak_fall_ticks within 0..15");
    fuzz_require(s.peak_position <= 16.0 && s.peak_position >= -1000.0, "peak_position a number near 0..16");
    fuzz_require(s.lower_bar >= 0 && s.lower_bar <= 8 && s.upper_bar >= 0 && s.upper_bar <= 8,
                 "bar split within 0..8");
    fuzz_require(s.lower_dot >= 0 && s.lower_dot <= 8 && s.upper_dot >= 0 && s.upper_dot <= 8,
                 "dot split within 0..8");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    meter_reset();
    fuzz_fill(0.0);
    g_platform_kind = PLATFORM_DIRECT;

    FuzzBytes in = fuzz_bytes(data, size);
    int ticks = 0;
    while (fuzz_left(in) > 0 && ticks < MAX_TICKS) {
        uint8_t control = fuzz_u8(in);
        const bool peak_on = control & 1u;
        const bool sixteen = control & 2u;
        g_peak_mode.store(peak_on ? 1 : 0, std::memory_order_relaxed);
        g_sixteen_mode.store(sixteen ? 1 : 0, std::memory_order_relaxed);
        fuzz_change_spectrum((control >> 2) & 7u, in);
        for (int run = 1 << (control >> 5); run > 0 && ticks < MAX_TICKS; --run, ++ticks) {
            fuzz_port_clear();
            meter_tick();
            // The state first: the frame check computes with its values.
            fuzz_check_state(sixteen);
            fuzz_check_frame(sixteen, peak_on);
        }
    }
    return 0;
}
