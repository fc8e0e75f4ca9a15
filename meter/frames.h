// LED frames on the parallel port: bit patterns for one bank of eight LEDs and
// the exact sequences of register writes for the 8-LED frame, the 16-LED frame
// (two external latches clocked by strobe and auto-feed), the port's start-up
// setting and the dark display.
#pragma once
#include <cstdint>

// One bank's byte: bar_patterns[bar] | dot_patterns[dot]. Counts outside 0..8
// are brought into it first, so no lookup ever leaves a table.
uint8_t frame_bank_byte(int32_t bar, int32_t dot);

void frame_write_8(int32_t bar, int32_t peak);
void frame_write_16(int32_t upper_bar, int32_t upper_dot, int32_t lower_bar, int32_t lower_dot);
void frame_port_startup();  // extended control <- 0
void frame_dark_display();  // control <- 0, data <- 0
