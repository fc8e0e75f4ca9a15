// analyse_block on recorded blocks: the worked values of g_spectrum (silence,
// constants, whole-period and between-bin sines, an impulse, the alternating
// signal), a comparison with a direct DFT, and blocks it must leave alone.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "audio/analysis.h"
#include "tests/unit/test_block.h"

namespace {

constexpr double PI = 3.141592653589793;

class SpectrumTest : public ::testing::Test {
protected:
    void SetUp() override { fill_spectrum(-1.0); }
    static void fill_spectrum(double v) {
        for (auto& e : g_spectrum) e.store(v);
    }
    static double bin(int k) { return g_spectrum[k].load(); }
    // Analyses a block whose samples are `sample(i)`; checks the result is 1.
    void analyse(const std::function<int16_t(int)>& sample) {
        EXPECT_EQ(analyse_block(test_block_fill(block_, sample)), 1);
    }
    TestBlock block_;
};

int16_t sine_sample(double amplitude, double hz, double phase, int i) {
    return static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * PI * hz * i / 44100.0 + phase)));
}

TEST_F(SpectrumTest, SilenceGivesZeroEverywhereWhateverTheSecondHalfHolds) {
    analyse([](int i) -> int16_t { return i < 1024 ? 0 : (i % 2 ? 32767 : -32768); });
    for (int k = 0; k < SPECTRUM_BINS; ++k) ASSERT_EQ(bin(k), 0.0) << k;
}

TEST_F(SpectrumTest, ConstantGoesToBinZeroOnly) {
    for (int16_t c : {int16_t(1000), int16_t(-32768)}) {
        analyse([c](int) { return c; });
        EXPECT_NEAR(bin(0), 4.0 * std::abs(c), 1e-6) << c;
        for (int k = 1; k < SPECTRUM_BINS; ++k) ASSERT_LT(bin(k), 1e-6) << c << " bin " << k;
    }
    EXPECT_DOUBLE_EQ(bin(0), 131072.0);  // the largest value any element takes
}

TEST_F(SpectrumTest, WholePeriodSineLandsOnItsBinAndTheMirror) {
    analyse([](int i) {
        return static_cast<int16_t>(std::lround(32767.0 * std::sin(2.0 * PI * 8.0 * i / 1024.0)));
    });
    EXPECT_NEAR(bin(8), 65534.0, 1.0);
    EXPECT_NEAR(bin(1016), 65534.0, 1.0);
    for (int k = 0; k < SPECTRUM_BINS; ++k) {
        if (k != 8 && k != 1016) {
            ASSERT_LT(bin(k), 1.0) << k;
        }
    }
}

TEST_F(SpectrumTest, ImpulseSpreadsEvenly) {
    analyse([](int i) -> int16_t { return i == 0 ? 32767 : 0; });
    for (int k = 0; k < SPECTRUM_BINS; ++k) ASSERT_NEAR(bin(k), 32767.0 / 256.0, 1e-9) << k;
}

TEST_F(SpectrumTest, AlternatingSignalIsTheTopBin) {
    analyse([](int i) -> int16_t { return i % 2 ? -32767 : 32767; });
    EXPECT_NEAR(bin(512), 1024.0 * 32767.0 / 256.0, 1e-6);
    for (int k = 0; k < SPECTRUM_BINS; ++k) {
        if (k != 512) {
            ASSERT_LT(bin(k), 1e-6) << k;
        }
    }
}

// 1,000 Hz falls between bins 23 (990.5 Hz) and 24: bin 23 and its mirror are
// the largest for every phase of the sine, with leakage into the neighbours.
TEST_F(SpectrumTest, SineBetweenBinsLeaksIntoItsNeighbours) {
    double lowest = 1e9, highest = 0.0;
    for (int step = 0; step < 32; ++step) {
        const double phase = 2.0 * PI * step / 32.0;
        analyse([phase](int i) { return sine_sample(32767.0, 1000.0, phase, i); });
        EXPECT_NEAR(bin(23), bin(1001), 1e-6 * bin(23));
        for (int k = 0; k < SPECTRUM_BINS; ++k) {
            if (k != 23 && k != 1001) {
                ASSERT_LT(bin(k), bin(23)) << "phase step " << step << " bin " << k;
            }
        }
        EXPECT_NEAR(bin(22), 11000.0, 600.0);
        EXPECT_NEAR(bin(24), 17000.0, 600.0);
        lowest = std::fmin(lowest, bin(23));
        highest = std::fmax(highest, bin(23));
    }
    EXPECT_NEAR(lowest, 60150.0, 50.0);
    EXPECT_NEAR(highest, 60730.0, 50.0);
}

// Every element is |X[k]| / 256 of the first 1,024 samples, X computed here
// directly (positive exponent, long double) for a noisy block.
TEST_F(SpectrumTest, MagnitudesMatchDirectTransformOfTheFirstHalf) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    analyse([&](int) { return static_cast<int16_t>(dist(rng)); });
    const long double two_pi = 6.283185307179586476925286766559L;
    for (int k = 0; k < SPECTRUM_BINS; k += 7) {
        long double re = 0.0L, im = 0.0L;
        for (int t = 0; t < 1024; ++t) {
            long double angle = two_pi * ((k * t) % 1024) / 1024.0L;
            re += block_.samples[t] * std::cos(angle);
            im += block_.samples[t] * std::sin(angle);
        }
        const double want = static_cast<double>(std::sqrt(re * re + im * im) / 256.0L);
        ASSERT_NEAR(bin(k), want, 1e-6) << k;
    }
}

TEST_F(SpectrumTest, BlockWithoutItsSamplesLeavesTheSpectrumAlone) {
    fill_spectrum(7.0);
    EXPECT_EQ(analyse_block(nullptr), 1);
    WaveHeader* header = test_block_fill(block_, [](int) -> int16_t { return 1000; });
    header->dwBufferLength = 2047;
    EXPECT_EQ(analyse_block(header), 1);
    header->dwBufferLength = 4096;
    header->lpData = nullptr;
    EXPECT_EQ(analyse_block(header), 1);
    for (int k = 0; k < SPECTRUM_BINS; ++k) ASSERT_EQ(bin(k), 7.0) << k;
    // Exactly the analysed samples is enough.
    header = test_block_fill(block_, [](int) -> int16_t { return 1000; });
    header->dwBufferLength = 2048;
    analyse_block(header);
    EXPECT_NEAR(bin(0), 4000.0, 1e-6);
}

TEST_F(SpectrumTest, SamplesNeedNoAlignment) {
    // A constant block, little-endian, starting at an odd address.
    alignas(8) static unsigned char bytes[4097];
    for (int i = 0; i < 2048; ++i) {
        bytes[1 + 2 * i] = static_cast<unsigned char>(-1000 & 0xFF);
        bytes[2 + 2 * i] = static_cast<unsigned char>((-1000 >> 8) & 0xFF);
    }
    WaveHeader header{};
    header.lpData = reinterpret_cast<char*>(bytes + 1);
    header.dwBufferLength = 4096;
    analyse_block(&header);
    EXPECT_NEAR(bin(0), 4000.0, 1e-6);
}

}  // namespace
