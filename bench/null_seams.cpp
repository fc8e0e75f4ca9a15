// Do-nothing platform pieces for the benchmark programs: port writes land in
// one volatile byte (cheap, but not optimised away), and the menu call that the
// option code refers to does nothing. Nothing here reaches hardware or a shell.
#include "app/shell.h"
#include "port/port.h"

namespace {
volatile uint16_t g_sink_port;
volatile uint8_t g_sink_value;
}  // namespace

void port_out_direct(uint16_t port, uint8_t value) {
    g_sink_port = port;
    g_sink_value = value;
}

void port_out_channel(uint16_t port, uint8_t value) {
    g_sink_port = port;
    g_sink_value = value;
}

void shell_menu_set_state(uint32_t, uint32_t) {}
