// The LED board model: data lines, the two clock lines as they appear at the
// connector, and two latches that are either edge-triggered or transparent.
#include "board/led_board.h"

namespace {

// The board's own idea of the registers, written here again on purpose and
// not taken from port/port.h: the model is the tests' independent oracle of
// what the program writes, so a wrong offset in the program must not be
// shared by the board that judges it.
constexpr uint16_t BOARD_DATA = 0;
constexpr uint16_t BOARD_CONTROL = 2;
constexpr uint8_t CONTROL_STROBE = 0x01;
constexpr uint8_t CONTROL_AUTOFEED = 0x02;

// Transparent latches follow the data lines for as long as their clock is high.
void board_pass_through(LedBoard* board) {
    if (board->latch != BOARD_LATCH_TRANSPARENT) return;
    if (board_strobe_high(board)) board->lower = board->data;
    if (board_autofeed_high(board)) board->upper = board->data;
}

}  // namespace

void board_reset(LedBoard* board, BoardLatch latch) {
    *board = LedBoard{};
    board->latch = latch;
    board_pass_through(board);
}

bool board_strobe_high(const LedBoard* board) { return (board->control & CONTROL_STROBE) == 0; }

bool board_autofeed_high(const LedBoard* board) { return (board->control & CONTROL_AUTOFEED) == 0; }

void board_write(LedBoard* board, uint16_t offset, uint8_t value) {
    if (offset == BOARD_DATA) {
        board->data = value;
    } else if (offset == BOARD_CONTROL) {
        bool strobe_was_high = board_strobe_high(board);
        bool autofeed_was_high = board_autofeed_high(board);
        board->control = value;
        if (board->latch == BOARD_LATCH_EDGE) {
            if (!strobe_was_high && board_strobe_high(board)) board->lower = board->data;
            if (!autofeed_was_high && board_autofeed_high(board)) board->upper = board->data;
        }
    } else {
        return;
    }
    board_pass_through(board);
}

uint8_t board_direct_leds(const LedBoard* board) { return board->data; }

uint16_t board_latched_leds(const LedBoard* board) {
    return static_cast<uint16_t>(board->lower | (board->upper << 8));
}
