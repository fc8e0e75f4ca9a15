// Inputs shared by the benchmark programs: a recorded block of sound (a mix of
// two tones and noise, fixed from run to run) and a display configuration for
// the meter, so that every measurement runs on the same data.
#pragma once
#include <cstdint>

#include "audio/wave_header.h"

// A 2,048-sample block (4,096 bytes) whose header points at static storage.
WaveHeader* bench_block();

// Sets the option bytes, fills g_spectrum from the block and sets the port's
// platform kind so that every frame reaches the do-nothing back-end.
void bench_meter_setup(bool sixteen, bool peak);

// Spectrum values that move between calls, so that the bar and the peak keep
// moving: call `n` sets one bin on a rising and falling ramp.
void bench_vary_spectrum(uint32_t n);
