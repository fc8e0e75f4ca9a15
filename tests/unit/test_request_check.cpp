// The driver's request checks: the lengths each request needs, the control
// codes it answers, the byte order of the port number, and the ports a caller
// may reach (only the standard parallel ports' register blocks).
#include <gtest/gtest.h>

#include <cstdint>

#include "driver/request_check.h"
#include "port/driver_channel.h"
#include "tests/parallel_port_blocks.h"

namespace {

RequestAction write_request(uint16_t port, uint8_t value, uint32_t input = 3, uint32_t output = 0) {
    const uint8_t buffer[4] = {static_cast<uint8_t>(port & 0xFF), static_cast<uint8_t>(port >> 8), value, 0xEE};
    return request_check(IOCTL_PORT_WRITE, input, output, buffer);
}

RequestAction read_request(uint16_t port, uint32_t input = 2, uint32_t output = 1) {
    const uint8_t buffer[4] = {static_cast<uint8_t>(port & 0xFF), static_cast<uint8_t>(port >> 8), 0xEE, 0xEE};
    return request_check(IOCTL_PORT_READ, input, output, buffer);
}

void expect_untouched(const RequestAction& a, uint32_t status) {
    EXPECT_EQ(a.touch, REQUEST_TOUCH_NOTHING);
    EXPECT_EQ(a.status, status);
    EXPECT_EQ(a.information, 0u);
}

TEST(RequestCheck, WriteNeedsThreeBytesOfInputAndIgnoresTheOutputLength) {
    for (uint32_t output : {0u, 1u, 64u}) {
        RequestAction a = write_request(0x378, 0xA5, 3, output);
        EXPECT_EQ(a.touch, REQUEST_WRITE_PORT);
        EXPECT_EQ(a.port, 0x378);
        EXPECT_EQ(a.value, 0xA5);
        EXPECT_EQ(a.status, REQUEST_STATUS_SUCCESS);
        EXPECT_EQ(a.information, 0u);
    }
    RequestAction longer = write_request(0x37A, 0x0B, 4);
    EXPECT_EQ(longer.touch, REQUEST_WRITE_PORT);
    EXPECT_EQ(longer.value, 0x0B);

    // Too short: nothing is written, and the request still succeeds.
    expect_untouched(write_request(0x378, 0xA5, 2), REQUEST_STATUS_SUCCESS);
    expect_untouched(write_request(0x378, 0xA5, 1), REQUEST_STATUS_SUCCESS);
    expect_untouched(request_check(IOCTL_PORT_WRITE, 0, 0, nullptr), REQUEST_STATUS_SUCCESS);
}

TEST(RequestCheck, ReadNeedsTwoBytesInAndOneByteOut) {
    RequestAction a = read_request(0x379);
    EXPECT_EQ(a.touch, REQUEST_READ_PORT);
    EXPECT_EQ(a.port, 0x379);
    EXPECT_EQ(a.status, REQUEST_STATUS_SUCCESS);
    EXPECT_EQ(a.information, 1u);
    EXPECT_EQ(read_request(0x379, 3, 8).touch, REQUEST_READ_PORT);

    expect_untouched(read_request(0x379, 2, 0), REQUEST_STATUS_SUCCESS);
    expect_untouched(read_request(0x379, 1, 1), REQUEST_STATUS_SUCCESS);
    expect_untouched(request_check(IOCTL_PORT_READ, 0, 0, nullptr), REQUEST_STATUS_SUCCESS);
}

TEST(RequestCheck, OtherCodesFailWithoutTouchingAPort) {
    const uint8_t buffer[4] = {0x78, 0x03, 0xFF, 0};
    const uint32_t others[] = {
        CHANNEL_CODE(0x800u), CHANNEL_CODE(0x803u), CHANNEL_CODE(0xFFFu),
        IOCTL_PORT_WRITE | 1u,                     // another transfer method
        IOCTL_PORT_WRITE | (3u << 14),             // another required access
        (0x22u << 16) | (0x802u << 2),             // another device type
        0u};
    for (uint32_t code : others) {
        SCOPED_TRACE(code);
        expect_untouched(request_check(code, 3, 1, buffer), REQUEST_STATUS_UNSUCCESSFUL);
    }
}

TEST(RequestCheck, PortNumberIsLittleEndianAndTheProgramsPortsPass) {
    // The extended control register of the first port, as the program sends it.
    const uint8_t ecr[3] = {0x7A, 0x07, 0x35};
    RequestAction a = request_check(IOCTL_PORT_WRITE, 3, 0, ecr);
    EXPECT_EQ(a.touch, REQUEST_WRITE_PORT);
    EXPECT_EQ(a.port, 0x77A);
    EXPECT_EQ(a.value, 0x35);
    const uint8_t swapped[3] = {0x07, 0x7A, 0x35};
    expect_untouched(request_check(IOCTL_PORT_WRITE, 3, 0, swapped), REQUEST_STATUS_ACCESS_DENIED);
    // Data, control and extended control register: everything the program writes.
    for (uint16_t port : {0x378, 0x37A, 0x77A}) EXPECT_EQ(write_request(port, 0).touch, REQUEST_WRITE_PORT) << port;
}

TEST(RequestCheck, BlockEdgesAreAllowedAndTheirNeighboursRefused) {
    for (const PortBlock& b : PARALLEL_PORT_BLOCKS) {
        for (uint16_t port : {b.first, b.last}) {
            EXPECT_EQ(write_request(port, 1).touch, REQUEST_WRITE_PORT) << std::hex << port;
            EXPECT_EQ(read_request(port).touch, REQUEST_READ_PORT) << std::hex << port;
        }
        for (uint16_t port : {static_cast<uint16_t>(b.first - 1), static_cast<uint16_t>(b.last + 1)}) {
            SCOPED_TRACE(port);
            expect_untouched(write_request(port, 1), REQUEST_STATUS_ACCESS_DENIED);
            expect_untouched(read_request(port), REQUEST_STATUS_ACCESS_DENIED);
        }
    }
}

TEST(RequestCheck, PortsOutsideTheBlocksAreRefused) {
    // The keyboard controller, POST codes, the PCI configuration address, a
    // serial port, and the ends of the port space.
    for (uint16_t port : {0x0000, 0x0060, 0x0080, 0x0CF8, 0x03F8, 0x0377, 0x0380, 0x03BB, 0x03C0,
                          0x0B78, 0xF378, 0xFFFF}) {
        SCOPED_TRACE(port);
        expect_untouched(write_request(port, 0xFF), REQUEST_STATUS_ACCESS_DENIED);
        expect_untouched(read_request(port), REQUEST_STATUS_ACCESS_DENIED);
    }
    // Exactly the 40 registers of the six blocks, and no other port.
    int allowed = 0;
    for (uint32_t port = 0; port <= 0xFFFF; ++port) allowed += request_port_allowed(static_cast<uint16_t>(port)) != 0;
    EXPECT_EQ(allowed, 40);
}

}  // namespace
