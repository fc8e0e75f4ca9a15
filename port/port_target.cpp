// The mapping of port addresses onto the registers the kernel's parallel-port
// driver offers. Only the three registers the LED frames use are known; the
// extended control register is reached only for the standard mode, the one
// mode this program selects (its mode field, bits 5-7, is 000).
#include "port/port_target.h"

#include "port/port.h"

namespace {
constexpr uint8_t MODE_FIELD = 0xE0;
}  // namespace

PortTarget port_target(uint16_t port, uint8_t value) {
    if (port == g_port_base + PORT_DATA) return PORT_TARGET_DATA;
    if (port == g_port_base + PORT_CONTROL) return PORT_TARGET_CONTROL;
    if (port == g_port_base + PORT_EXTENDED_CONTROL && (value & MODE_FIELD) == 0) {
        return PORT_TARGET_STANDARD_MODE;
    }
    return PORT_TARGET_NONE;
}
