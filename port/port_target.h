// Where a port write lands on a port reached through the kernel's
// parallel-port driver, which offers the registers by meaning rather than by
// address: the data register, the control register, and the port's mode (the
// effect that the extended control register's mode field has).
#pragma once
#include <cstdint>

enum PortTarget : int32_t {
    PORT_TARGET_NONE = 0,           // no such register: the write is dropped
    PORT_TARGET_DATA = 1,           // base + 0
    PORT_TARGET_CONTROL = 2,        // base + 2
    PORT_TARGET_STANDARD_MODE = 3,  // base + 0x402 with mode field 000: standard (compatibility) mode
};

// Maps one byte write to `port` (relative to g_port_base) onto its target.
PortTarget port_target(uint16_t port, uint8_t value);
