// Builds the driver channel's 3-byte write request byte by byte, so that the
// port number travels little-endian whatever the host's byte order.
#include "port/port_channel.h"

#include <cstring>

PortWriteRequest port_channel_request(uint16_t port, uint8_t value) {
    const uint8_t bytes[sizeof(PortWriteRequest)] = {static_cast<uint8_t>(port & 0xFF),
                                                     static_cast<uint8_t>(port >> 8), value};
    PortWriteRequest request;
    std::memcpy(&request, bytes, sizeof request);
    return request;
}
