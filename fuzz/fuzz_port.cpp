// The recording port and the null menu of the meter's fuzz target.
#include "fuzz/fuzz_port.h"

#include "app/shell.h"
#include "port/port.h"

FuzzPortWrite g_fuzz_port_writes[FUZZ_PORT_CAPACITY];
int g_fuzz_port_count = 0;

namespace {
void fuzz_port_record(uint16_t port, uint8_t value) {
    if (g_fuzz_port_count < FUZZ_PORT_CAPACITY) g_fuzz_port_writes[g_fuzz_port_count] = FuzzPortWrite{port, value};
    ++g_fuzz_port_count;
}
}  // namespace

void fuzz_port_clear() { g_fuzz_port_count = 0; }

void port_out_direct(uint16_t port, uint8_t value) { fuzz_port_record(port, value); }
void port_out_channel(uint16_t port, uint8_t value) { fuzz_port_record(port, value); }

void shell_menu_set_state(uint32_t, uint32_t) {}
