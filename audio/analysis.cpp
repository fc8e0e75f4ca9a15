// Spectrum analysis of one recorded block: the first 1,024 samples, unweighted,
// through a 1,024-point FFT; each bin's magnitude divided by 256 goes straight
// into g_spectrum, one relaxed 8-byte store per element. The working arrays
// live on the caller's (the capture worker's) stack: nothing is allocated.
#include "audio/analysis.h"

#include <cmath>

#include "audio/fft.h"

std::atomic<double> g_spectrum[SPECTRUM_BINS];

namespace {
constexpr double MAGNITUDE_SCALE = 0.00390625;  // 1/256
constexpr uint32_t ANALYSED_BYTES = 2 * SPECTRUM_BINS;
}  // namespace

int32_t analyse_block(WaveHeader* header) {
    // A header without a buffer of at least the analysed samples leaves the
    // last spectrum as it is rather than reading past the buffer's end.
    if (header == nullptr || header->lpData == nullptr || header->dwBufferLength < ANALYSED_BYTES)
        return 1;

    double in[SPECTRUM_BINS];
    double re[SPECTRUM_BINS];
    double im[SPECTRUM_BINS];

    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(header->lpData);
    for (int i = 0; i < SPECTRUM_BINS; ++i) {
        // Little-endian signed 16-bit samples, read bytewise: no alignment assumed.
        int16_t sample = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        in[i] = static_cast<double>(sample);
    }

    fft_transform(SPECTRUM_BINS, false, in, nullptr, re, im);

    for (int k = 0; k < SPECTRUM_BINS; ++k) {
        g_spectrum[k].store(std::sqrt(re[k] * re[k] + im[k] * im[k]) * MAGNITUDE_SCALE,
                            std::memory_order_relaxed);
    }
    return 1;
}
