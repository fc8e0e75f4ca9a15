// The LED board model against the program's own frames: 8 LEDs on the data
// lines, 16 LEDs behind edge-triggered or transparent latches, and the dark
// display.
#include <gtest/gtest.h>

#include "board/led_board.h"
#include "meter/frames.h"
#include "port/port.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"

namespace {

// Plays the port writes logged so far into the board, then clears the log.
void replay(LedBoard* board) {
    for (const auto& w : fake_log_port_writes()) board_write(board, uint16_t(w.first - g_port_base), w.second);
    fake_log_clear();
}

class BoardTest : public ::testing::TestWithParam<BoardLatch> {
protected:
    void SetUp() override {
        fake_log_clear();
        fake_port_reset();
        board_reset(&board, GetParam());
    }
    LedBoard board;
};

TEST_P(BoardTest, SixteenLedFrameClocksBothLatches) {
    frame_write_16(4, 6, 8, 0);  // bar 12, peak 14
    replay(&board);
    EXPECT_EQ(board_latched_leds(&board), 0x2FFF);
    // The frame ends with the strobe line high and the auto-feed line low.
    EXPECT_TRUE(board_strobe_high(&board));
    EXPECT_FALSE(board_autofeed_high(&board));

    frame_write_16(0, 0, 3, 0);
    replay(&board);
    EXPECT_EQ(board_latched_leds(&board), 0x0007);

    frame_write_16(0, 0, 0, 0);  // an all-dark frame still clocks both latches
    replay(&board);
    EXPECT_EQ(board_latched_leds(&board), 0);
}

TEST_P(BoardTest, UpperLatchHoldsWhileTheLowerByteIsOnTheDataLines) {
    frame_write_16(8, 0, 1, 0);
    replay(&board);
    EXPECT_EQ(board.upper, 0xFF);
    EXPECT_EQ(board.lower, 0x01);
    EXPECT_EQ(board.data, 0x01);
}

TEST_P(BoardTest, EightLedFrameReachesLedsOnTheDataLines) {
    frame_write_8(5, 7);
    replay(&board);
    EXPECT_EQ(board_direct_leds(&board), 95);
    frame_dark_display();
    replay(&board);
    EXPECT_EQ(board_direct_leds(&board), 0);
}

TEST_P(BoardTest, OtherRegistersDoNotReachTheBoard) {
    frame_write_16(8, 0, 8, 0);
    replay(&board);
    LedBoard before = board;
    frame_port_startup();
    replay(&board);
    board_write(&board, 1, 0x55);
    EXPECT_EQ(board_latched_leds(&board), board_latched_leds(&before));
    EXPECT_EQ(board.data, before.data);
}

INSTANTIATE_TEST_SUITE_P(Latches, BoardTest, ::testing::Values(BOARD_LATCH_TRANSPARENT, BOARD_LATCH_EDGE),
                         [](const ::testing::TestParamInfo<BoardLatch>& param_info) {
                             return param_info.param == BOARD_LATCH_EDGE ? std::string("Edge") : std::string("Transparent");
                         });

// The dark display and the 8-LED frame leave both clock lines high: transparent
// latches pass the data and go dark; edge-triggered latches take only what was
// on the data lines at the rising edge and keep it.
TEST(BoardLatchKinds, DarkDisplayDarkensTransparentLatchesOnly) {
    for (BoardLatch latch : {BOARD_LATCH_TRANSPARENT, BOARD_LATCH_EDGE}) {
        fake_log_clear();
        fake_port_reset();
        LedBoard board;
        board_reset(&board, latch);
        frame_write_16(2, 0, 8, 0);
        frame_dark_display();
        replay(&board);
        if (latch == BOARD_LATCH_TRANSPARENT) {
            EXPECT_EQ(board_latched_leds(&board), 0);
        } else {
            // Auto-feed rose while the lower byte was still on the data lines.
            EXPECT_EQ(board_latched_leds(&board), 0xFFFF);
        }
    }
}

TEST(BoardLatchKinds, EightLedFrameOnLatchesFollowsOnlyWhenTransparent) {
    for (BoardLatch latch : {BOARD_LATCH_TRANSPARENT, BOARD_LATCH_EDGE}) {
        fake_log_clear();
        fake_port_reset();
        LedBoard board;
        board_reset(&board, latch);
        frame_write_8(3, 0);
        frame_write_8(6, 0);
        replay(&board);
        uint16_t expected = latch == BOARD_LATCH_TRANSPARENT ? 0x3F3F : 0x0000;
        EXPECT_EQ(board_latched_leds(&board), expected);
    }
}

}  // namespace
