// Radix-2 decimation-in-time FFT. The input is copied into the outputs in
// bit-reversed order, then log2(count) passes of butterflies run in place.
// Twiddle factors come from the three-term recurrence
// next = 2·cos δ · current − previous, seeded at −δ and −2δ and restarted for
// every block of a pass, so only four sines and cosines are evaluated per pass.
#include "audio/fft.h"

#include <cmath>
#include <cstddef>

namespace {

constexpr double TWO_PI = 6.283185307179586;

// The four seeds of one pass and the recurrence's factor w = 2·cos δ.
struct FftSeeds {
    double c2, c1, s2, s1, w;
};

// One butterfly with the twiddle factor ar + i·ai: t = twiddle × (re_k, im_k);
// the k element becomes the j element minus t, the j element plus t.
inline void fft_butterfly(double& re_j, double& im_j, double& re_k, double& im_k, double ar,
                          double ai) {
    const double xr = re_k;
    const double xi = im_k;
    const double tr = ar * xr - ai * xi;
    const double ti = ar * xi + ai * xr;
    const double yr = re_j;
    const double yi = im_j;
    re_k = yr - tr;
    im_k = yi - ti;
    re_j = yr + tr;
    im_j = yi + ti;
}

// The first pass: blocks of two elements, one butterfly each, whose twiddle
// factor is the first step of the recurrence restarted from the seeds.
void fft_first_pass(uint32_t count, const FftSeeds& seeds, double* re, double* im) {
    for (std::size_t b = 0; b < count; b += 2) {
        const double ar = seeds.w * seeds.c1 - seeds.c2;
        const double ai = seeds.w * seeds.s1 - seeds.s2;
        fft_butterfly(re[b], im[b], re[b + 1], im[b + 1], ar, ai);
    }
}

// A later pass, half ≥ 2: butterfly m of the block at b pairs element
// j = b + m with k = j + half, with the twiddle factor from the recurrence
// restarted from the seeds for every block. The recurrence runs in place, two
// steps at a time (half is even), each new value replacing the older of the
// two before it.
void fft_pass(uint32_t count, uint32_t half, const FftSeeds& seeds, double* re, double* im) {
    const double w = seeds.w;
    for (std::size_t b = 0; b < count; b += 2 * std::size_t{half}) {
        double* re_j = re + b;
        double* im_j = im + b;
        double* re_k = re_j + half;
        double* im_k = im_j + half;
        double ar_a = seeds.c2, ar_b = seeds.c1, ai_a = seeds.s2, ai_b = seeds.s1;
        for (std::size_t m = 0; m < half; m += 2) {
            ar_a = w * ar_b - ar_a;
            ai_a = w * ai_b - ai_a;
            fft_butterfly(re_j[m], im_j[m], re_k[m], im_k[m], ar_a, ai_a);
            ar_b = w * ar_a - ar_b;
            ai_b = w * ai_a - ai_b;
            fft_butterfly(re_j[m + 1], im_j[m + 1], re_k[m + 1], im_k[m + 1], ar_b, ai_b);
        }
    }
}

}  // namespace

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
    if (bits <= 32) return x >> (32 - bits);
    // A field wider than the result: bit 0 lands at position bits - 1, above
    // bit 31, and only the bits that still fit remain.
    return bits >= 64 ? 0 : x << (bits - 32);
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

    // Passes of size = 2·half = 2, 4, … count. Counting by half keeps the
    // loop finite for the largest count (2^31), where doubling size would wrap.
    for (uint32_t half = 1; half < count; half *= 2) {
        const double delta = numerator / (2.0 * half);
        FftSeeds seeds;
        seeds.s2 = std::sin(-2.0 * delta);
        seeds.s1 = std::sin(-delta);
        seeds.c2 = std::cos(-2.0 * delta);
        seeds.c1 = std::cos(-delta);
        seeds.w = 2.0 * seeds.c1;
        if (half == 1) {
            fft_first_pass(count, seeds, real_out, imag_out);
        } else {
            fft_pass(count, half, seeds, real_out, imag_out);
        }
    }

    if (inverse) {
        const double n = static_cast<double>(count);
        for (uint32_t i = 0; i < count; ++i) {
            real_out[i] /= n;
            imag_out[i] /= n;
        }
    }
}
