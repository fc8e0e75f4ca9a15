// Fuzz target for fft_transform: any count (powers of two up to 4,096, any
// other value up to 4,096, or any 32-bit value that is not a power of two),
// either direction, each of the four arrays present or absent, and samples
// that are either 16-bit PCM (what the meter really sees) or any double bit
// pattern, NaN and infinities included.
//
// Inputs are heap blocks of exactly `count` doubles, so an overread is caught
// by the address sanitizer; outputs sit between guard doubles that must come
// back untouched. A refused call writes nothing at all. For finite samples of
// bounded size the outputs are finite, no larger than the sum of the input
// magnitudes, and the opposite transform gives the input back.
//
// Input: bytes 0-1 pick the count, byte 2 holds flags (bit 0 inverse; bits
// 1-4 real_in, imag_in, real_out, imag_out absent; bit 5 a power-of-two count;
// bit 6 raw doubles instead of PCM; bit 7 a count from bytes 3-6); the rest
// are the samples, repeated as often as needed (zeros when there are none).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "audio/fft.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr uint32_t MAX_COUNT = 4096;
constexpr size_t GUARD = 8;                     // doubles on each side of an output
constexpr uint64_t UNTOUCHED = 0x7FF4DEADBEEF5A5Aull;  // a NaN no arithmetic produces
constexpr double BOUNDED = 1e290;  // the sums of two transforms of such samples stay finite

struct FuzzArray {
    double* block;   // the allocation
    double* values;  // where the transform sees it
    size_t count;
};

// An output: `count` doubles between guards, all set to UNTOUCHED.
FuzzArray fuzz_output(size_t count) {
    size_t total = count + 2 * GUARD;
    double* block = static_cast<double*>(std::malloc(total * sizeof(double)));
    for (size_t i = 0; i < total; ++i) std::memcpy(&block[i], &UNTOUCHED, sizeof UNTOUCHED);
    return FuzzArray{block, block + GUARD, count};
}

bool fuzz_untouched(const double* values, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint64_t bits;
        std::memcpy(&bits, &values[i], sizeof bits);
        if (bits != UNTOUCHED) return false;
    }
    return true;
}

void fuzz_check_guards(const FuzzArray& a) {
    fuzz_require(fuzz_untouched(a.block, GUARD), "nothing written below an output");
    fuzz_require(fuzz_untouched(a.values + a.count, GUARD), "nothing written above an output");
}

uint32_t fuzz_count(uint16_t pick, uint8_t flags, FuzzBytes& in) {
    if (flags & 0x80u) {
        uint32_t count = fuzz_u32(in);
        // Kept out of reach of a real transform: the arrays are not that big.
        return is_power_of_two(count) && count > MAX_COUNT ? count + 1 : count;
    }
    if (flags & 0x20u) return 1u << (pick % 13);  // 1 .. 4,096
    return pick % (MAX_COUNT + 1);
}

// Sample i of the tiled sample bytes.
double fuzz_sample(const uint8_t* bytes, size_t size, bool raw, size_t i) {
    size_t width = raw ? 8 : 2;
    if (size < width) return 0.0;
    size_t at = (i * width) % (size - size % width);
    if (!raw) return static_cast<double>(static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8)));
    double value;
    std::memcpy(&value, bytes + at, sizeof value);
    return value;
}

// A sum of the input magnitudes bounds every output component, to rounding.
void fuzz_check_bounded(uint32_t count, bool inverse, const double* re, const double* im,
                        const FuzzArray& out_re, const FuzzArray& out_im) {
    double sum = 0.0;
    for (uint32_t i = 0; i < count; ++i) sum += std::fabs(re[i]) + (im ? std::fabs(im[i]) : 0.0);
    if (inverse) sum /= count;
    const double limit = sum * (1 + 1e-9) + 1e-300;
    for (uint32_t k = 0; k < count; ++k) {
        fuzz_require(std::isfinite(out_re.values[k]) && std::isfinite(out_im.values[k]),
                     "finite samples give finite outputs");
        fuzz_require(std::fabs(out_re.values[k]) <= limit && std::fabs(out_im.values[k]) <= limit,
                     "no output exceeds the sum of the input magnitudes");
    }
}

// The opposite transform of the outputs gives the inputs back, to rounding.
void fuzz_check_round_trip(uint32_t count, bool inverse, const double* re, const double* im,
                           const FuzzArray& out_re, const FuzzArray& out_im) {
    FuzzArray back_re = fuzz_output(count);
    FuzzArray back_im = fuzz_output(count);
    fft_transform(count, !inverse, out_re.values, out_im.values, back_re.values, back_im.values);
    fuzz_check_guards(back_re);
    fuzz_check_guards(back_im);
    double scale = 0.0;
    for (uint32_t i = 0; i < count; ++i) scale += std::fabs(re[i]) + (im ? std::fabs(im[i]) : 0.0);
    const double tolerance = scale * 1e-9 + 1e-300;
    for (uint32_t i = 0; i < count; ++i) {
        fuzz_require(std::fabs(back_re.values[i] - re[i]) <= tolerance, "round trip, real part");
        fuzz_require(std::fabs(back_im.values[i] - (im ? im[i] : 0.0)) <= tolerance,
                     "round trip, imaginary part");
    }
    std::free(back_re.block);
    std::free(back_im.block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in = fuzz_bytes(data, size);
    uint16_t pick = fuzz_u16(in);
    uint8_t flags = fuzz_u8(in);
    uint32_t count = fuzz_count(pick, flags, in);
    const bool inverse = flags & 0x01u;
    const bool raw = flags & 0x40u;
    const uint8_t* sample_bytes = data + in.next;
    const size_t sample_size = fuzz_left(in);

    // Arrays as large as the count, or none beyond the guards for the huge
    // counts that must be refused before anything is touched.
    const size_t length = count <= MAX_COUNT ? count : 0;
    double* real_in = static_cast<double*>(std::malloc(length * sizeof(double)));
    double* imag_in = static_cast<double*>(std::malloc(length * sizeof(double)));
    bool bounded = true;
    for (size_t i = 0; i < length; ++i) {
        real_in[i] = fuzz_sample(sample_bytes, sample_size, raw, 2 * i);
        imag_in[i] = fuzz_sample(sample_bytes, sample_size, raw, 2 * i + 1);
        bounded = bounded && std::fabs(real_in[i]) <= BOUNDED && std::fabs(imag_in[i]) <= BOUNDED;
    }
    FuzzArray real_out = fuzz_output(length);
    FuzzArray imag_out = fuzz_output(length);

    const double* re = flags & 0x02u ? nullptr : real_in;
    const double* im = flags & 0x04u ? nullptr : imag_in;
    double* out_re = flags & 0x08u ? nullptr : real_out.values;
    double* out_im = flags & 0x10u ? nullptr : imag_out.values;
    fft_transform(count, inverse, re, im, out_re, out_im);

    fuzz_check_guards(real_out);
    fuzz_check_guards(imag_out);
    const bool refused = re == nullptr || out_re == nullptr || out_im == nullptr || count < 2 ||
                         count > MAX_COUNT || (count & (count - 1)) != 0;
    if (refused) {
        fuzz_require(fuzz_untouched(real_out.values, length) && fuzz_untouched(imag_out.values, length),
                     "a refused transform writes nothing");
    } else if (bounded) {
        fuzz_check_bounded(count, inverse, re, im, real_out, imag_out);
        fuzz_check_round_trip(count, inverse, re, im, real_out, imag_out);
    }

    std::free(real_in);
    std::free(imag_in);
    std::free(real_out.block);
    std::free(imag_out.block);
    return 0;
}
