// Port output on Linux. There is no raw port access for a user program here
// (the direct back-end drops the byte); the driver channel is the kernel's
// parallel-port driver (ppdev): g_driver_handle is the open, claimed device,
// and each write becomes the ppdev request for its register. Failures are
// silent, as every port write is. A tap (the terminal preview) sees each write
// first, whether or not a port is open.
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include "port/port.h"
#include "port/port_linux.h"
#include "port/port_target.h"

namespace {
PortTap g_port_tap;  // set before other threads start, read-only afterwards
}  // namespace

void port_set_tap(PortTap tap) { g_port_tap = tap; }

int32_t detect_platform() { return PLATFORM_DRIVER; }

void port_out_direct(uint16_t, uint8_t) {}

void port_out_channel(uint16_t port, uint8_t value) {
    if (g_port_tap != nullptr) g_port_tap(port, value);
    int fd = static_cast<int>(g_driver_handle);
    if (fd < 0) return;
    unsigned char byte = value;
    switch (port_target(port, value)) {
        case PORT_TARGET_DATA:
            ioctl(fd, PPWDATA, &byte);
            break;
        case PORT_TARGET_CONTROL:
            ioctl(fd, PPWCONTROL, &byte);
            break;
        case PORT_TARGET_STANDARD_MODE: {
            int mode = IEEE1284_MODE_COMPAT;
            ioctl(fd, PPSETMODE, &mode);
            break;
        }
        case PORT_TARGET_NONE:
            break;
    }
}
