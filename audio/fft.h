// Radix-2 decimation-in-time FFT with a bit-reversal permutation and twiddle
// factors from the three-term recurrence, and its small integer helpers. The
// forward transform uses the positive exponent; the inverse is scaled by 1/count.
#pragma once
#include <cstdint>

// Writes nothing unless real_in, real_out and imag_out are present and count
// is a power of two of at least 2; an absent imag_in is all zero. The outputs
// must not overlap the inputs.
void fft_transform(uint32_t count, bool inverse, const double* real_in, const double* imag_in,
                   double* real_out, double* imag_out);

bool is_power_of_two(uint32_t x);                 // x > 1 and a single bit set
uint32_t bits_needed(uint32_t x);                 // log2 for powers of two; 0 below 2
uint32_t reverse_bits(uint32_t index, uint32_t bits);  // low `bits` bits reversed
