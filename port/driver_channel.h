/* The driver channel between the program and the port I/O driver: the two
   device-control codes and their request records. Shared by the program's port
   writer and by the kernel-mode driver, so it is plain C and C++ alike. */
#ifndef SONABAR_DRIVER_CHANNEL_H
#define SONABAR_DRIVER_CHANNEL_H

#include <stdint.h>

/* Standard control-code layout: device type << 16 | access << 14 | function << 2 | method. */
#define CHANNEL_DEVICE_TYPE 0x9C40u
#define CHANNEL_CODE(function) ((CHANNEL_DEVICE_TYPE << 16) | (0u << 14) | ((function) << 2) | 0u)

#define IOCTL_PORT_READ CHANNEL_CODE(0x801u)  /* 0x9C402004 */
#define IOCTL_PORT_WRITE CHANNEL_CODE(0x802u) /* 0x9C402008 */

#pragma pack(push, 1)
/* Input of IOCTL_PORT_WRITE: exactly 3 bytes, port little-endian. */
typedef struct PortWriteRequest {
    uint16_t port;
    uint8_t value;
} PortWriteRequest;

/* Input of IOCTL_PORT_READ: exactly 2 bytes; the answer is 1 byte. */
typedef struct PortReadRequest {
    uint16_t port;
} PortReadRequest;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(PortWriteRequest) == 3, "write request is 3 bytes");
static_assert(sizeof(PortReadRequest) == 2, "read request is 2 bytes");
static_assert(IOCTL_PORT_READ == 0x9C402004u && IOCTL_PORT_WRITE == 0x9C402008u, "control codes");
#endif

#endif
