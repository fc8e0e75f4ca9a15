// Radix-2 decimation-in-time FFT. The input is copied into the outputs in
// bit-reversed order, then log2(count) passes of butterflies run in place.
// Twiddle factors come from the three-term recurrence
// next = 2·cos δ · current − previous, seeded at −δ and −2δ and restarted for
// every block of a pass, so only four sines and cosines are evaluated per pass.
#include "audio/fft.h"

#include <cmath>

namespace {
constexpr double TWO_PI = 6.283185307179586;
}

bool is_power_of_two(uint32_t x) { return x > 1 && (x & (x - 1)) == 0; }

uint32_t bits_needed(uint32_t x) {
    if (x < 2) return 0;
    uint32_t position = 0;
    while ((x & 1u) == 0) {
        x >>= 1;
        ++position;
    }
    return position;
}

uint32_t reverse_bits(uint32_t index, uint32_t bits) {
    if (bits == 0) return 0;
    // Reverse all 32 bits by swapping ever larger groups, then keep the top `bits`.
    uint32_t x = index;
    x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
    x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
    x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
    x = ((x >> 8) & 0x00FF00FFu) | ((x & 0x00FF00FFu) << 8);
    x = (x >> 16) | (x << 16);
    return bits >= 32 ? x : x >> (32 - bits);
}

void fft_transform(uint32_t count, bool inverse, const double* real_in, const double* imag_in,
                   double* real_out, double* imag_out) {
    if (real_in == nullptr || real_out == nullptr || imag_out == nullptr) return;
    if (!is_power_of_two(count)) return;

    const double numerator = inverse ? -TWO_PI : TWO_PI;
    const uint32_t bits = bits_needed(count);

    for (uint32_t i = 0; i < count; ++i) {
        uint32_t j = reverse_bits(i, bits);
        real_out[j] = real_in[i];
        imag_out[j] = imag_in != nullptr ? imag_in[i] : 0.0;
    }

    uint32_t half = 1;
    for (uint32_t size = 2; size <= count; size <<= 1) {
        const double delta = numerator / static_cast<double>(size);
        const double s2 = std::sin(-2.0 * delta);
        const double s1 = std::sin(-delta);
        const double c2 = std::cos(-2.0 * delta);
        const double c1 = std::cos(-delta);
        const double w = 2.0 * c1;
        for (uint32_t b = 0; b < count; b += size) {
            double ar2 = c2, ar1 = c1, ai2 = s2, ai1 = s1;
            for (uint32_t m = 0; m < half; ++m) {
                const uint32_t j = b + m;
                const uint32_t k = j + half;
                const double ar0 = w * ar1 - ar2;
                ar2 = ar1;
                ar1 = ar0;
                const double ai0 = w * ai1 - ai2;
                ai2 = ai1;
                ai1 = ai0;
                const double tr = ar0 * real_out[k] - ai0 * imag_out[k];
                const double ti = ar0 * imag_out[k] + ai0 * real_out[k];
                real_out[k] = real_out[j] - tr;
                imag_out[k] = imag_out[j] - ti;
                real_out[j] = real_out[j] + tr;
                imag_out[j] = imag_out[j] + ti;
            }
        }
        half = size;
    }

    if (inverse) {
        const double n = static_cast<double>(count);
        for (uint32_t i = 0; i < count; ++i) {
            real_out[i] /= n;
            imag_out[i] /= n;
        }
    }
}
