// The terminal preview of the Linux edition ("-preview"): a line on stdout
// that shows the LEDs as the board on the port would, redrawn at the tick
// rate, beside the real port or without one. Every register write is handed
// over through a queue that never blocks the writer; a thread of its own
// plays the writes into the board model and draws the line.
#pragma once
#include "board/led_board.h"

// Before start-up: makes the port optional, taps its writes and starts the
// drawing thread for a board whose 16 LEDs sit behind `latch` latches.
// Returns 0, or 1 when the thread cannot be started (no preview then).
int preview_start(BoardLatch latch);

// After shutdown: draws the final state (the dark display), ends the line
// and the thread.
void preview_stop();
