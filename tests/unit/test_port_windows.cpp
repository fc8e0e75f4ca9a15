// The portable pieces of the Windows port writer: platform detection over the
// version query (with its fallback to the basic record) and the bytes of the
// driver channel's write request.
#include <gtest/gtest.h>

#include <cstring>

#include "port/port.h"
#include "port/port_channel.h"
#include "port/version_query.h"
#include "tests/fakes/fake_version.h"

namespace {

class DetectPlatform : public ::testing::Test {
protected:
    void SetUp() override { fake_version_reset(); }
};

TEST_F(DetectPlatform, MapsThePlatformIdentifierOfTheExtendedRecord) {
    const struct {
        uint32_t platform_id;
        int32_t kind;
    } cases[] = {{0, PLATFORM_NONE}, {1, PLATFORM_DIRECT}, {2, PLATFORM_DRIVER}, {3, PLATFORM_NONE}};
    for (const auto& c : cases) {
        fake_version_reset();
        g_fake_version.platform_id = c.platform_id;
        EXPECT_EQ(detect_platform(), c.kind) << "platform id " << c.platform_id;
        ASSERT_EQ(fake_version_calls(), 1);
        EXPECT_EQ(fake_version_call(0).size, VERSION_RECORD_EXTENDED_SIZE);
        EXPECT_TRUE(fake_version_call(0).arrived_clear) << "the record must be cleared first";
    }
}

TEST_F(DetectPlatform, FallsBackToTheBasicRecordWhenTheExtendedOneIsRefused) {
    for (uint32_t id : {1u, 2u}) {
        fake_version_reset();
        g_fake_version.accept_extended = false;
        g_fake_version.platform_id = id;
        EXPECT_EQ(detect_platform(), id == 1 ? PLATFORM_DIRECT : PLATFORM_DRIVER);
        ASSERT_EQ(fake_version_calls(), 2);
        EXPECT_EQ(fake_version_call(0).size, VERSION_RECORD_EXTENDED_SIZE);
        EXPECT_EQ(fake_version_call(1).size, VERSION_RECORD_BASIC_SIZE);
    }
}

TEST_F(DetectPlatform, GivesNoPortOutputWhenBothRecordsAreRefused) {
    g_fake_version.accept_extended = false;
    g_fake_version.accept_basic = false;
    EXPECT_EQ(detect_platform(), PLATFORM_NONE);
    EXPECT_EQ(fake_version_calls(), 2);
}

TEST(PortChannelRequest, IsThreeBytesPortLittleEndianThenValue) {
    static_assert(sizeof(PortWriteRequest) == 3, "no padding");
    const struct {
        uint16_t port;
        uint8_t value;
        uint8_t bytes[3];
    } cases[] = {
        {0x77A, 0x00, {0x7A, 0x07, 0x00}},  // extended control register of the first port
        {0x378, 0xFF, {0x78, 0x03, 0xFF}},  // data register, all LEDs lit
        {0x37A, 0x0B, {0x7A, 0x03, 0x0B}},  // control register
    };
    for (const auto& c : cases) {
        PortWriteRequest request = port_channel_request(c.port, c.value);
        uint8_t bytes[3];
        std::memcpy(bytes, &request, sizeof bytes);
        EXPECT_EQ(bytes[0], c.bytes[0]) << std::hex << c.port;
        EXPECT_EQ(bytes[1], c.bytes[1]) << std::hex << c.port;
        EXPECT_EQ(bytes[2], c.bytes[2]) << std::hex << c.port;
    }
}

}  // namespace
