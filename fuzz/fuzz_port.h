// A recording port for the fuzz targets that drive the meter: every write of
// the current tick is kept in a small fixed array. Also the do-nothing menu
// call that the option code refers to.
#pragma once
#include <cstdint>

constexpr int FUZZ_PORT_CAPACITY = 16;

struct FuzzPortWrite {
    uint16_t port;
    uint8_t value;
};

extern FuzzPortWrite g_fuzz_port_writes[FUZZ_PORT_CAPACITY];
extern int g_fuzz_port_count;  // writes since the last clear (may exceed the capacity)

void fuzz_port_clear();
