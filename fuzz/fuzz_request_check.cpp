// Fuzz target for the port I/O driver's request checks: any control code, any
// output length and any input bytes. The system buffer is a heap block of
// exactly the input length, so a read past the request's record is a read
// past the allocation. The answer must match an independent model of the
// rules: the two codes, their minimum lengths, the little-endian port number,
// and the register blocks of the three standard parallel ports, listed in
// tests/parallel_port_blocks.h rather than taken from the driver.
//
// Input: byte 0 chooses the code (bits 0-1: read, write, any 32-bit value,
// or the channel's device type with any low 16 bits; bit 2: an empty buffer
// is passed as null), bytes 1-4 the raw code value, bytes 5-8 the output
// length; every byte after that is the system buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "driver/request_check.h"
#include "fuzz/fuzz_support.h"
#include "port/driver_channel.h"
#include "tests/parallel_port_blocks.h"

namespace {

uint32_t fuzz_code(uint8_t selector, uint32_t raw) {
    switch (selector & 3u) {
        case 0: return IOCTL_PORT_READ;
        case 1: return IOCTL_PORT_WRITE;
        case 2: return raw;
        default: return (CHANNEL_DEVICE_TYPE << 16) | (raw & 0xFFFFu);
    }
}

// What the driver must answer, worked out from the rules alone.
RequestAction fuzz_expected(uint32_t code, uint32_t input_length, uint32_t output_length,
                            const uint8_t* buffer) {
    RequestAction a{};
    a.touch = REQUEST_TOUCH_NOTHING;
    a.status = REQUEST_STATUS_SUCCESS;
    bool read = code == 0x9C402004u;
    bool write = code == 0x9C402008u;
    if (!read && !write) {
        a.status = REQUEST_STATUS_UNSUCCESSFUL;
        return a;
    }
    if (read ? (input_length < 2 || output_length < 1) : input_length < 3) return a;
    a.port = static_cast<uint16_t>(buffer[0] + 256 * buffer[1]);
    if (write) a.value = buffer[2];
    if (!parallel_port_block_holds(a.port)) {
        a.status = REQUEST_STATUS_ACCESS_DENIED;
        return a;
    }
    a.touch = read ? REQUEST_READ_PORT : REQUEST_WRITE_PORT;
    a.information = read ? 1 : 0;
    return a;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in = fuzz_bytes(data, size);
    uint8_t selector = fuzz_u8(in);
    uint32_t raw = fuzz_u32(in);
    uint32_t output_length = fuzz_u32(in);
    uint32_t input_length = static_cast<uint32_t>(fuzz_left(in));

    uint8_t* buffer = nullptr;
    if (input_length > 0 || (selector & 4u) == 0) {
        buffer = static_cast<uint8_t*>(std::malloc(input_length));
        if (input_length > 0) std::memcpy(buffer, data + in.next, input_length);
    }
    uint32_t code = fuzz_code(selector, raw);
    RequestAction got = request_check(code, input_length, output_length, buffer);
    RequestAction want = fuzz_expected(code, input_length, output_length, buffer);

    fuzz_require(got.touch == want.touch, "the request touches the port it should, or none");
    fuzz_require(got.status == want.status, "status");
    fuzz_require(got.information == want.information, "bytes of output returned");
    if (want.touch != REQUEST_TOUCH_NOTHING) {
        fuzz_require(got.port == want.port, "the port named by buffer bytes 0-1");
        fuzz_require(parallel_port_block_holds(got.port), "only parallel-port registers are touched");
        if (want.touch == REQUEST_WRITE_PORT) fuzz_require(got.value == want.value, "the byte written");
    }
    // Touching a port and succeeding go together; a refusal touches nothing.
    fuzz_require(got.touch == REQUEST_TOUCH_NOTHING || got.status == REQUEST_STATUS_SUCCESS,
                 "a touched port is a successful request");
    fuzz_require((got.information == 1) == (got.touch == REQUEST_READ_PORT),
                 "one byte of output exactly when a port is read");

    // The allow-list on its own, for any port the input names.
    uint16_t port = static_cast<uint16_t>(raw & 0xFFFFu);
    fuzz_require((request_port_allowed(port) != 0) == parallel_port_block_holds(port), "the allowed ports");

    std::free(buffer);
    return 0;
}
