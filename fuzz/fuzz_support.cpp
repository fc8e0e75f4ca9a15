// The fuzz targets' byte reader and their failure report.
#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

FuzzBytes fuzz_bytes(const uint8_t* data, size_t size) { return FuzzBytes{data, size, 0}; }

size_t fuzz_left(const FuzzBytes& in) { return in.size - in.next; }

uint8_t fuzz_u8(FuzzBytes& in) { return in.next < in.size ? in.data[in.next++] : 0; }

uint16_t fuzz_u16(FuzzBytes& in) {
    uint16_t low = fuzz_u8(in);
    return static_cast<uint16_t>(low | (fuzz_u8(in) << 8));
}

uint32_t fuzz_u32(FuzzBytes& in) {
    uint32_t low = fuzz_u16(in);
    return low | (static_cast<uint32_t>(fuzz_u16(in)) << 16);
}

double fuzz_f64(FuzzBytes& in) {
    uint64_t bits = fuzz_u32(in);
    bits |= static_cast<uint64_t>(fuzz_u32(in)) << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void fuzz_require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
