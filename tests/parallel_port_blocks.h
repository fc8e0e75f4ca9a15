// The register blocks of the three standard parallel ports, written down
// again for the tests and the fuzz target rather than taken from the driver,
// so that they check the driver's list instead of repeating it: LPT1, LPT2
// and LPT3, each with its ECP registers 0x400 above.
#pragma once

#include <cstdint>

struct PortBlock {
    uint16_t first;
    uint16_t last;
};

constexpr PortBlock PARALLEL_PORT_BLOCKS[] = {{0x378, 0x37F}, {0x778, 0x77F}, {0x278, 0x27F},
                                              {0x678, 0x67F}, {0x3BC, 0x3BF}, {0x7BC, 0x7BF}};

inline bool parallel_port_block_holds(uint16_t port) {
    for (const PortBlock& b : PARALLEL_PORT_BLOCKS)
        if (port >= b.first && port <= b.last) return true;
    return false;
}
