// The Windows port back-ends: direct output executes the processor's byte OUT
// instruction (allowed to user programs on the consumer line of Windows); the
// driver channel hands each byte to the port I/O driver in one synchronous
// device-control request. Neither reports anything: a failed write is lost.
#include <windows.h>

#include "port/port.h"
#include "port/port_channel.h"

void port_out_direct(uint16_t port, uint8_t value) {
    __asm__ __volatile__("outb %b0, %w1" : : "a"(value), "Nd"(port));
}

void port_out_channel(uint16_t port, uint8_t value) {
    PortWriteRequest request = port_channel_request(port, value);
    DWORD returned = 0;
    DeviceIoControl(reinterpret_cast<HANDLE>(g_driver_handle), IOCTL_PORT_WRITE, &request,
                    sizeof request, nullptr, 0, &returned, nullptr);
}
