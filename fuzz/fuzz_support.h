// Shared pieces of the fuzz targets: a reader that takes fixed-width values
// from the fuzzer's bytes (zero once they run out, so every input is usable
// whatever its length), and the check that stops the run loudly when a
// property fails, in the libFuzzer build and in the corpus replay alike.
#pragma once
#include <cstddef>
#include <cstdint>

struct FuzzBytes {
    const uint8_t* data;
    size_t size;
    size_t next;  // index of the next unread byte
};

FuzzBytes fuzz_bytes(const uint8_t* data, size_t size);
size_t fuzz_left(const FuzzBytes& in);
uint8_t fuzz_u8(FuzzBytes& in);
uint16_t fuzz_u16(FuzzBytes& in);  // little-endian
uint32_t fuzz_u32(FuzzBytes& in);  // little-endian
double fuzz_f64(FuzzBytes& in);    // any bit pattern: NaN and infinities included

// Prints `what` and aborts unless `ok`.
void fuzz_require(bool ok, const char* what);
