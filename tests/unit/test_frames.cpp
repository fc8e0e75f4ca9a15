// The LED frames as exact sequences of port writes: the 8-LED and 16-LED
// frames, the port's start-up setting and the dark display, and bank bytes
// that stay inside the pattern tables whatever counts they are given.
#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "meter/frames.h"
#include "port/port.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"

namespace {

using Writes = std::vector<std::pair<uint16_t, uint8_t>>;
constexpr uint16_t DATA = 0x378;
constexpr uint16_t CONTROL = 0x37A;

class FramesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_log_clear();
        fake_port_reset();
    }
};

TEST_F(FramesTest, EightLedFrameIsControlThenData) {
    frame_write_8(5, 7);
    EXPECT_EQ(fake_log_port_writes(), (Writes{{CONTROL, 0}, {DATA, 95}}));
    fake_log_clear();
    frame_write_8(5, 3);  // a dot inside the bar adds nothing
    EXPECT_EQ(fake_log_port_writes(), (Writes{{CONTROL, 0}, {DATA, 31}}));
    fake_log_clear();
    frame_write_8(8, 0);
    EXPECT_EQ(fake_log_port_writes(), (Writes{{CONTROL, 0}, {DATA, 255}}));
}

TEST_F(FramesTest, SixteenLedFrameClocksUpperThenLowerLatch) {
    frame_write_16(4, 6, 8, 0);  // bar 12, peak 14
    EXPECT_EQ(fake_log_port_writes(),
              (Writes{{CONTROL, 3}, {DATA, 47}, {CONTROL, 1}, {CONTROL, 3}, {DATA, 255}, {CONTROL, 2}}));
}

TEST_F(FramesTest, AllZeroSixteenLedFrameStillClocksBothLatches) {
    frame_write_16(0, 0, 0, 0);
    EXPECT_EQ(fake_log_port_writes(),
              (Writes{{CONTROL, 3}, {DATA, 0}, {CONTROL, 1}, {CONTROL, 3}, {DATA, 0}, {CONTROL, 2}}));
}

TEST_F(FramesTest, DarkDisplayAndStartUpAreExactWrites) {
    frame_dark_display();
    EXPECT_EQ(fake_log_port_writes(), (Writes{{CONTROL, 0}, {DATA, 0}}));
    fake_log_clear();
    frame_port_startup();
    EXPECT_EQ(fake_log_port_writes(), (Writes{{0x77A, 0}}));
}

TEST_F(FramesTest, BankBytesAreTheUnionOfBarAndDot) {
    for (int bar = 0; bar <= 8; ++bar) {
        for (int dot = 0; dot <= 8; ++dot) {
            unsigned want = (1u << bar) - 1u;
            if (dot > 0) want |= 1u << (dot - 1);
            ASSERT_EQ(frame_bank_byte(bar, dot), want) << bar << "/" << dot;
        }
    }
}

// Counts outside 0..8 (a 16-LED bar or peak after a switch to 8 LEDs) are
// brought into the tables' range before the lookup.
TEST_F(FramesTest, CountsOutsideOneBankAreBroughtIntoRange) {
    EXPECT_EQ(frame_bank_byte(9, 0), 255);
    EXPECT_EQ(frame_bank_byte(16, 16), 255);
    EXPECT_EQ(frame_bank_byte(0, 12), 128);
    EXPECT_EQ(frame_bank_byte(INT_MAX, INT_MIN), 255);
    EXPECT_EQ(frame_bank_byte(-1, -1), 0);
    EXPECT_EQ(frame_bank_byte(INT_MIN, 3), 4);
    frame_write_8(15, 16);
    EXPECT_EQ(fake_log_port_writes(), (Writes{{CONTROL, 0}, {DATA, 255}}));
}

}  // namespace
