// port_write: one byte to one port through the back-end the platform kind
// selects (direct output, the driver channel, or nothing). The kind and the
// handle are fixed before any other thread starts.
#include "port/port.h"

int32_t g_platform_kind = PLATFORM_NONE;
DriverHandle g_driver_handle = DRIVER_INVALID_HANDLE;

void port_write(uint16_t port, uint8_t value) {
    switch (g_platform_kind) {
        case PLATFORM_DIRECT:
            port_out_direct(port, value);
            break;
        case PLATFORM_DRIVER:
            port_out_channel(port, value);
            break;
        default:
            break;
    }
}
