// Port access: one byte to one I/O port address, through the back-end the
// platform kind selects. The platform kind and the driver handle are set
// during start-up, before any other thread exists, and only read afterwards.
#pragma once
#include <cstdint>

constexpr int32_t PLATFORM_NONE = 0;    // writes are dropped
constexpr int32_t PLATFORM_DIRECT = 1;  // the process outputs the byte itself
constexpr int32_t PLATFORM_DRIVER = 2;  // the driver channel through g_driver_handle

// The parallel port's base I/O address (the first parallel port).
constexpr uint16_t g_port_base = 0x378;

// The port's registers, relative to g_port_base.
constexpr uint16_t PORT_DATA = 0;
constexpr uint16_t PORT_CONTROL = 2;
constexpr uint16_t PORT_EXTENDED_CONTROL = 0x402;  // ECP ports only

// An open handle to the driver channel: a Windows HANDLE or a Linux file descriptor.
typedef intptr_t DriverHandle;
constexpr DriverHandle DRIVER_INVALID_HANDLE = -1;

extern int32_t g_platform_kind;
extern DriverHandle g_driver_handle;

// Writes `value` to `port` before returning; reports nothing; takes no lock.
void port_write(uint16_t port, uint8_t value);

// Decides once, at start-up, how bytes reach the port (PLATFORM_*).
int32_t detect_platform();

// Back-ends, one implementation per platform. A failed write is silent.
void port_out_direct(uint16_t port, uint8_t value);
void port_out_channel(uint16_t port, uint8_t value);
