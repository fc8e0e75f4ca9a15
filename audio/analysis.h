// Spectrum analysis: each recorded block's first 1,024 samples become the
// 1,024 magnitudes in g_spectrum (divided by 256), which the meter reads every
// tick. Each element is a relaxed atomic double: one aligned 8-byte store by
// the capture worker, one aligned 8-byte load by the tick, never torn.
#pragma once
#include <atomic>
#include <cstdint>
#include "audio/wave_header.h"

constexpr int SPECTRUM_BINS = 1024;

static_assert(std::atomic<double>::is_always_lock_free, "spectrum elements must be lock-free");
static_assert(sizeof(std::atomic<double>) == 8 && alignof(std::atomic<double>) == 8,
              "one element, one aligned 8-byte access");

extern std::atomic<double> g_spectrum[SPECTRUM_BINS];

// The capture ring's block handler: analyses the first 1,024 samples of one
// block into g_spectrum; returns 1. A header whose buffer is absent or shorter
// than those samples (2,048 bytes) changes nothing.
int32_t analyse_block(WaveHeader* header);
