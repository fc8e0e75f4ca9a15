// A model of the LED board on the parallel port, outside the program itself:
// from the stream of register writes it reconstructs what the LEDs show. Eight
// LEDs hang straight on the data lines; sixteen sit behind two 8-bit latches
// whose clocks are the strobe line (lower eight) and the auto-feed line (upper
// eight). Both lines are inverted between the control register and the
// connector. Latches are either edge-triggered (they take the data on the
// rising edge of their clock line) or transparent (they pass the data while
// their clock line is high and hold it while it is low). The model is the
// oracle of the tests and the engine of the terminal preview.
#pragma once
#include <cstdint>

enum BoardLatch : uint8_t {
    BOARD_LATCH_TRANSPARENT = 0,
    BOARD_LATCH_EDGE = 1,
};

struct LedBoard {
    BoardLatch latch;
    uint8_t data;     // data register = data lines
    uint8_t control;  // control register (bit 0 nStrobe, bit 1 nAutoFd, inverted at the connector)
    uint8_t lower;    // what the strobe-clocked latch drives: LEDs 1..8
    uint8_t upper;    // what the auto-feed-clocked latch drives: LEDs 9..16
};

// A board at power-up: all lines low, latches empty. The control register
// starts at 0, so both clock lines are high at the connector.
void board_reset(LedBoard* board, BoardLatch latch);

// One register write; `offset` is relative to the port's base address
// (0 data, 2 control; other registers do not reach the board).
void board_write(LedBoard* board, uint16_t offset, uint8_t value);

// The eight LEDs wired straight to the data lines (bit 0 = LED 1).
uint8_t board_direct_leds(const LedBoard* board);
// The sixteen LEDs behind the latches (bit 0 = LED 1, bit 8 = LED 9).
uint16_t board_latched_leds(const LedBoard* board);

// Clock line levels at the connector.
bool board_strobe_high(const LedBoard* board);
bool board_autofeed_high(const LedBoard* board);
