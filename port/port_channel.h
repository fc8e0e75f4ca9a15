// The driver channel's write request as the port writer builds it: the port
// number little-endian in bytes 0-1, the value in byte 2.
#pragma once
#include <cstdint>

#include "port/driver_channel.h"

PortWriteRequest port_channel_request(uint16_t port, uint8_t value);
