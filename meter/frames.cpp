// LED frames as ordered register writes on the parallel port. The 16-LED frame
// clocks two latches: auto-feed takes the upper byte, strobe the lower one
// (both lines are inverted between register and connector).
#include "meter/frames.h"

#include "port/port.h"

namespace {

const uint32_t bar_patterns[9] = {0, 1, 3, 7, 15, 31, 63, 127, 255};  // LEDs 1..n lit
const uint32_t dot_patterns[9] = {0, 1, 2, 4, 8, 16, 32, 64, 128};    // LED n alone

constexpr uint8_t CONTROL_LINES_HIGH = 0;    // both clock lines high at the connector
constexpr uint8_t CONTROL_LINES_LOW = 3;     // both clock lines low
constexpr uint8_t CONTROL_CLOCK_UPPER = 1;   // auto-feed high: the upper latch takes the byte
constexpr uint8_t CONTROL_CLOCK_LOWER = 2;   // strobe high: the lower latch takes the byte

int32_t frame_table_index(int32_t count) { return count < 0 ? 0 : (count > 8 ? 8 : count); }

void frame_control(uint8_t value) { port_write(g_port_base + PORT_CONTROL, value); }
void frame_data(uint8_t value) { port_write(g_port_base + PORT_DATA, value); }

}  // namespace

uint8_t frame_bank_byte(int32_t bar, int32_t dot) {
    uint32_t bits = bar_patterns[frame_table_index(bar)] | dot_patterns[frame_table_index(dot)];
    return static_cast<uint8_t>(bits & 0xFFu);
}

void frame_write_8(int32_t bar, int32_t peak) {
    frame_control(CONTROL_LINES_HIGH);
    frame_data(frame_bank_byte(bar, peak));
}

void frame_write_16(int32_t upper_bar, int32_t upper_dot, int32_t lower_bar, int32_t lower_dot) {
    frame_control(CONTROL_LINES_LOW);
    frame_data(frame_bank_byte(upper_bar, upper_dot));
    frame_control(CONTROL_CLOCK_UPPER);
    frame_control(CONTROL_LINES_LOW);
    frame_data(frame_bank_byte(lower_bar, lower_dot));
    frame_control(CONTROL_CLOCK_LOWER);
}

void frame_port_startup() { port_write(g_port_base + PORT_EXTENDED_CONTROL, 0); }

void frame_dark_display() {
    frame_control(CONTROL_LINES_HIGH);
    frame_data(static_cast<uint8_t>(bar_patterns[0]));
}
