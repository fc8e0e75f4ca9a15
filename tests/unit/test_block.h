// A recorded block for tests: 2,048 signed 16-bit samples in a 4,096-byte
// buffer with its wave header, filled from a function of the sample index, as
// the capture ring would hand it to the block handler.
#pragma once
#include <cstdint>
#include <functional>

#include "audio/wave_header.h"

struct TestBlock {
    int16_t samples[2048];
    WaveHeader header;
};

// Fills every sample from `sample(i)` and points the header at the samples.
inline WaveHeader* test_block_fill(TestBlock& block, const std::function<int16_t(int)>& sample) {
    for (int i = 0; i < 2048; ++i) block.samples[i] = sample(i);
    block.header = WaveHeader{};
    block.header.lpData = reinterpret_cast<char*>(block.samples);
    block.header.dwBufferLength = sizeof block.samples;
    block.header.dwBytesRecorded = sizeof block.samples;
    return &block.header;
}
