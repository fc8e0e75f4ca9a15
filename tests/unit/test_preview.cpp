// The terminal preview's portable parts: the line drawn for known LED states
// (plain, terminal, colour zones), and the queue that hands register writes
// from the port's writers to the drawing thread, alone and under two
// producers, played into the board model as the preview does.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "board/led_board.h"
#include "meter/frames.h"
#include "port/port.h"
#include "preview/preview_line.h"
#include "preview/preview_queue.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"

namespace {

std::string line(uint16_t leds, int32_t count, PreviewStyle style, const char* caption = "x") {
    char out[512];
    size_t length = preview_line(out, sizeof out, leds, count, caption, style);
    EXPECT_EQ(length, std::string(out).size());
    return out;
}

TEST(PreviewLine, PlainTextIsOneLinePerDrawing) {
    EXPECT_EQ(line(0x0000, 8, {false, false}, "8 LEDs"), "|........| 8 LEDs\n");
    EXPECT_EQ(line(0x005F, 8, {false, false}, "8 LEDs"), "|#####.#.| 8 LEDs\n");  // bar 5, dot 7
    EXPECT_EQ(line(0x2FFF, 16, {false, false}, "16 LEDs"), "|############.#..| 16 LEDs\n");
    // Only the LEDs of the row are drawn.
    EXPECT_EQ(line(0xFF00, 8, {false, false}), "|........| x\n");
}

TEST(PreviewLine, ATerminalLineReplacesTheLastInColour) {
    const std::string green = "\x1b[1;32m", yellow = "\x1b[1;33m", red = "\x1b[1;31m", dark = "\x1b[90m";
    EXPECT_EQ(line(0x00FF, 8, {true, false}),
              "\r" + green + "#####" + yellow + "##" + red + "#" + "\x1b[0m x\x1b[K");
    // Dark LEDs between lit ones change the colour each time; a run shares one code.
    EXPECT_EQ(line(0x0041, 8, {true, false}),
              "\r" + green + "#" + dark + "....." + yellow + "#" + dark + "." + "\x1b[0m x\x1b[K");
    const std::string lit = "\xe2\x97\x8f", off = "\xe2\x97\x8b";
    EXPECT_EQ(line(0x0001, 8, {true, true}), "\r" + green + lit + dark + off + off + off + off + off + off + off +
                                                 "\x1b[0m x\x1b[K");
}

TEST(PreviewLine, ColourZonesFollowARealBar) {
    std::string zones8, zones16;
    for (int led = 1; led <= 8; ++led) zones8 += "GYR"[preview_zone(led, 8)];
    for (int led = 1; led <= 16; ++led) zones16 += "GYR"[preview_zone(led, 16)];
    EXPECT_EQ(zones8, "GGGGGYYR");
    EXPECT_EQ(zones16, "GGGGGGGGGGYYYYRR");
}

TEST(PreviewLine, ATooSmallBufferIsCutShortAndTerminated) {
    char out[6];
    EXPECT_EQ(preview_line(out, sizeof out, 0xFF, 8, "8 LEDs", {false, false}), 5u);
    EXPECT_STREQ(out, "|####");
    EXPECT_EQ(preview_line(out, 0, 0xFF, 8, "8 LEDs", {false, false}), 0u);
}

class PreviewQueue : public ::testing::Test {
protected:
    void SetUp() override { preview_queue_reset(); }
};

TEST_F(PreviewQueue, HandsWritesOverInOrderAcrossManyLaps) {
    PreviewWrite write;
    EXPECT_FALSE(preview_queue_pop(&write));
    for (uint32_t round = 0; round < 3 * PREVIEW_QUEUE_SLOTS; round += 7) {
        for (uint32_t i = 0; i < 7; ++i) ASSERT_TRUE(preview_queue_push(uint16_t(i), uint8_t(round + i)));
        for (uint32_t i = 0; i < 7; ++i) {
            ASSERT_TRUE(preview_queue_pop(&write));
            EXPECT_EQ(write.offset, i);
            EXPECT_EQ(write.value, uint8_t(round + i));
        }
        EXPECT_FALSE(preview_queue_pop(&write));
    }
}

TEST_F(PreviewQueue, AFullQueueDropsNewWritesAndKeepsTheOldOnes) {
    for (uint32_t i = 0; i < PREVIEW_QUEUE_SLOTS; ++i) ASSERT_TRUE(preview_queue_push(0, uint8_t(i)));
    EXPECT_FALSE(preview_queue_push(0, 0xAA));
    EXPECT_FALSE(preview_queue_push(0, 0xBB));
    PreviewWrite write;
    for (uint32_t i = 0; i < PREVIEW_QUEUE_SLOTS; ++i) {
        ASSERT_TRUE(preview_queue_pop(&write));
        ASSERT_EQ(write.value, uint8_t(i));
    }
    EXPECT_FALSE(preview_queue_pop(&write));
    EXPECT_TRUE(preview_queue_push(0, 0xCC));  // room again
    ASSERT_TRUE(preview_queue_pop(&write));
    EXPECT_EQ(write.value, 0xCC);
}

// Two writers (the tick and the UI thread) and the drawing thread at once:
// every write arrives exactly once, each writer's in its own order, or is
// counted as dropped.
TEST_F(PreviewQueue, TwoWritersAndOneReaderLoseAndReorderNothing) {
    constexpr int WRITES = 50000;
    std::atomic<int> done{0};
    auto writer = [&](uint16_t who) {
        for (int i = 0; i < WRITES; ++i) {
            while (!preview_queue_push(who, uint8_t(i))) std::this_thread::yield();
        }
        done.fetch_add(1);
    };
    std::thread first(writer, 0), second(writer, 1);
    int received[2] = {0, 0};
    PreviewWrite write;
    for (;;) {
        bool finished = done.load() == 2;  // read before the pop: a write made before it is still taken
        if (!preview_queue_pop(&write)) {
            if (finished) break;
            continue;
        }
        ASSERT_LT(write.offset, 2);
        ASSERT_EQ(write.value, uint8_t(received[write.offset])) << "writer " << write.offset;
        ++received[write.offset];
    }
    first.join();
    second.join();
    EXPECT_EQ(received[0], WRITES);
    EXPECT_EQ(received[1], WRITES);
}

// The preview's path: the program's frames through the queue into the board.
TEST_F(PreviewQueue, FramesThroughTheQueueShowOnTheBoard) {
    fake_log_clear();
    fake_port_reset();
    frame_port_startup();
    frame_write_16(4, 6, 8, 0);  // bar 12, peak 14
    for (const auto& w : fake_log_port_writes()) preview_queue_push(uint16_t(w.first - g_port_base), w.second);
    LedBoard board;
    board_reset(&board, BOARD_LATCH_TRANSPARENT);
    PreviewWrite write;
    while (preview_queue_pop(&write)) board_write(&board, write.offset, write.value);
    EXPECT_EQ(board_latched_leds(&board), 0x2FFF);
}

}  // namespace
