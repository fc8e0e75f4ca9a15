// The FFT against a direct DFT computed independently in long double (positive
// exponent forward, negative and scaled by 1/N inverse), its signs and round
// trip, the inputs it must refuse without writing, and its integer helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "audio/fft.h"

namespace {

constexpr double SENTINEL = -12345.678;
constexpr double PI = 3.141592653589793;
const long double PI_L = 3.141592653589793238462643383279502884L;

// X[m] = Σ x[t]·exp(sign·2πi·m·t/N), divided by N for the inverse.
void direct_dft(bool inverse, const std::vector<double>& re, const std::vector<double>& im,
                std::vector<long double>& out_re, std::vector<long double>& out_im) {
    const size_t n = re.size();
    const long double sign = inverse ? -1.0L : 1.0L;
    std::vector<long double> cos_table(n), sin_table(n);  // angle 2π·i/N
    for (size_t i = 0; i < n; ++i) {
        cos_table[i] = std::cos(2.0L * PI_L * i / n);
        sin_table[i] = sign * std::sin(2.0L * PI_L * i / n);
    }
    out_re.assign(n, 0.0L);
    out_im.assign(n, 0.0L);
    for (size_t m = 0; m < n; ++m) {
        for (size_t t = 0; t < n; ++t) {
            const size_t i = (m * t) % n;
            out_re[m] += re[t] * cos_table[i] - im[t] * sin_table[i];
            out_im[m] += re[t] * sin_table[i] + im[t] * cos_table[i];
        }
        if (inverse) {
            out_re[m] /= n;
            out_im[m] /= n;
        }
    }
}

std::vector<double> random_values(size_t n, std::mt19937& rng) {
    std::uniform_real_distribution<double> dist(-32768.0, 32767.0);
    std::vector<double> v(n);
    for (double& x : v) x = dist(rng);
    return v;
}

// Largest difference between the transform and the direct DFT, relative to
// the largest value the sums can reach (N × the largest input).
double worst_relative_error(uint32_t n, bool inverse, bool with_imag, std::mt19937& rng) {
    std::vector<double> re = random_values(n, rng);
    std::vector<double> im = with_imag ? random_values(n, rng) : std::vector<double>(n, 0.0);
    std::vector<double> out_re(n), out_im(n);
    fft_transform(n, inverse, re.data(), with_imag ? im.data() : nullptr, out_re.data(), out_im.data());
    std::vector<long double> want_re, want_im;
    direct_dft(inverse, re, im, want_re, want_im);
    const double bound = 32768.0 * (inverse ? 1.0 : n);
    double worst = 0.0;
    for (uint32_t k = 0; k < n; ++k) {
        worst = std::fmax(worst, static_cast<double>(std::fabs(out_re[k] - want_re[k])) / bound);
        worst = std::fmax(worst, static_cast<double>(std::fabs(out_im[k] - want_im[k])) / bound);
    }
    return worst;
}

// With the imaginary input absent the direct transform is given zeros.
TEST(Fft, MatchesDirectTransformForEverySizeAndDirection) {
    std::mt19937 rng(7);
    for (uint32_t n = 2; n <= 1024; n *= 2) {
        for (bool inverse : {false, true}) {
            for (bool with_imag : {false, true}) {
                EXPECT_LT(worst_relative_error(n, inverse, with_imag, rng), 1e-12)
                    << "n=" << n << " inverse=" << inverse << " imag=" << with_imag;
            }
        }
    }
}

TEST(Fft, ForwardThenInverseGivesBackTheInput) {
    std::mt19937 rng(11);
    const uint32_t n = 1024;
    std::vector<double> re = random_values(n, rng), im = random_values(n, rng);
    std::vector<double> f_re(n), f_im(n), b_re(n), b_im(n);
    fft_transform(n, false, re.data(), im.data(), f_re.data(), f_im.data());
    fft_transform(n, true, f_re.data(), f_im.data(), b_re.data(), b_im.data());
    // The twiddle recurrence's rounding grows along each block: about 1e-7
    // here for inputs of up to 32,768, that is 4e-12 of full scale.
    for (uint32_t i = 0; i < n; ++i) {
        EXPECT_NEAR(b_re[i], re[i], 5e-7);
        EXPECT_NEAR(b_im[i], im[i], 5e-7);
    }
}

// The positive exponent: a sine's energy at bin 8 is on the positive
// imaginary axis, a cosine's on the positive real axis.
TEST(Fft, SineAndCosineLandWithTheSignsOfThePositiveExponent) {
    const uint32_t n = 1024;
    const double a = 1000.0;
    std::vector<double> sine(n), cosine(n), re(n), im(n);
    for (uint32_t t = 0; t < n; ++t) {
        sine[t] = a * std::sin(2.0 * PI * 8.0 * t / n);
        cosine[t] = a * std::cos(2.0 * PI * 8.0 * t / n);
    }
    fft_transform(n, false, sine.data(), nullptr, re.data(), im.data());
    EXPECT_NEAR(re[8], 0.0, 1e-6);
    EXPECT_NEAR(im[8], a * 512.0, 1e-6);
    EXPECT_NEAR(im[n - 8], -a * 512.0, 1e-6);
    fft_transform(n, false, cosine.data(), nullptr, re.data(), im.data());
    EXPECT_NEAR(re[8], a * 512.0, 1e-6);
    EXPECT_NEAR(im[8], 0.0, 1e-6);
}

TEST(Fft, TwoPointsAreSumAndDifference) {
    const double in[2] = {5.0, 3.0};
    double re[2], im[2];
    fft_transform(2, false, in, nullptr, re, im);
    EXPECT_DOUBLE_EQ(re[0], 8.0);
    EXPECT_DOUBLE_EQ(re[1], 2.0);
    EXPECT_NEAR(im[0], 0.0, 1e-12);
    EXPECT_NEAR(im[1], 0.0, 1e-12);
}

TEST(Fft, RefusedInputsWriteNothing) {
    std::vector<double> in(1024, 1.0), re(1024, SENTINEL), im(1024, SENTINEL);
    const std::vector<double> untouched(1024, SENTINEL);
    for (uint32_t count : {0u, 1u, 3u, 6u, 1000u, 1023u}) {
        fft_transform(count, false, in.data(), in.data(), re.data(), im.data());
        fft_transform(count, true, in.data(), nullptr, re.data(), im.data());
        EXPECT_EQ(re, untouched) << "count " << count;
        EXPECT_EQ(im, untouched) << "count " << count;
    }
    fft_transform(8, false, nullptr, in.data(), re.data(), im.data());
    fft_transform(8, false, in.data(), in.data(), nullptr, im.data());
    fft_transform(8, false, in.data(), in.data(), re.data(), nullptr);
    EXPECT_EQ(re, untouched);
    EXPECT_EQ(im, untouched);
}

TEST(FftHelpers, PowersOfTwoStartAtTwo) {
    EXPECT_FALSE(is_power_of_two(0));
    EXPECT_FALSE(is_power_of_two(1));
    EXPECT_TRUE(is_power_of_two(2));
    EXPECT_TRUE(is_power_of_two(1024));
    EXPECT_TRUE(is_power_of_two(0x80000000u));
    EXPECT_FALSE(is_power_of_two(3));
    EXPECT_FALSE(is_power_of_two(1000));
    EXPECT_FALSE(is_power_of_two(0xFFFFFFFFu));
}

TEST(FftHelpers, BitsNeededIsThePositionOfTheLowestSetBit) {
    EXPECT_EQ(bits_needed(0), 0u);
    EXPECT_EQ(bits_needed(1), 0u);
    EXPECT_EQ(bits_needed(2), 1u);
    EXPECT_EQ(bits_needed(1024), 10u);
    EXPECT_EQ(bits_needed(0x80000000u), 31u);
    EXPECT_EQ(bits_needed(12), 2u);
}

TEST(FftHelpers, ReverseBitsReversesTheLowBitsOnly) {
    EXPECT_EQ(reverse_bits(1, 10), 512u);
    EXPECT_EQ(reverse_bits(6, 3), 3u);
    EXPECT_EQ(reverse_bits(0, 10), 0u);
    EXPECT_EQ(reverse_bits(0xFFFFFFFFu, 0), 0u);
    EXPECT_EQ(reverse_bits(0x401, 10), 512u);  // bit 10 lies outside the field
    EXPECT_EQ(reverse_bits(0x12345678u, 32), 0x1E6A2C48u);
    EXPECT_EQ(reverse_bits(1, 33), 0u);  // bit 0 would land on bit 32
    EXPECT_EQ(reverse_bits(2, 33), 0x80000000u);
    EXPECT_EQ(reverse_bits(0xFFFFFFFFu, 64), 0u);
    // Reversing twice gives back the field, for every index of a 1,024 field.
    for (uint32_t i = 0; i < 1024; ++i) ASSERT_EQ(reverse_bits(reverse_bits(i, 10), 10), i);
}

}  // namespace
