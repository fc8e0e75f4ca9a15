/* The driver's request checks: the lengths each request needs, the control
   codes it answers, and the ports it lets a caller reach. */
#include "driver/request_check.h"

#include "port/driver_channel.h"

/* The register blocks of the three standard parallel ports: the base
   registers (data, status, control and the EPP/ECP registers beyond them) and
   the ECP registers 0x400 above the base. */
typedef struct PortBlock {
    uint16_t first;
    uint16_t last;
} PortBlock;

static const PortBlock g_allowed_blocks[] = {
    {0x378, 0x37F}, {0x778, 0x77F}, /* LPT1 */
    {0x278, 0x27F}, {0x678, 0x67F}, /* LPT2 */
    {0x3BC, 0x3BF}, {0x7BC, 0x7BF}, /* LPT3 */
};

int request_port_allowed(uint16_t port) {
    unsigned i;
    for (i = 0; i < sizeof g_allowed_blocks / sizeof g_allowed_blocks[0]; ++i) {
        if (port >= g_allowed_blocks[i].first && port <= g_allowed_blocks[i].last) return 1;
    }
    return 0;
}

static uint16_t port_from(const uint8_t* buffer) {
    return (uint16_t)(buffer[0] | (buffer[1] << 8));
}

RequestAction request_check(uint32_t code, uint32_t input_length, uint32_t output_length,
                            const uint8_t* buffer) {
    RequestAction action;
    action.touch = REQUEST_TOUCH_NOTHING;
    action.port = 0;
    action.value = 0;
    action.status = REQUEST_STATUS_SUCCESS;
    action.information = 0;

    if (code == IOCTL_PORT_READ) {
        if (input_length < sizeof(PortReadRequest) || output_length < 1) return action;
        action.port = port_from(buffer);
        if (!request_port_allowed(action.port)) {
            action.status = REQUEST_STATUS_ACCESS_DENIED;
            return action;
        }
        action.touch = REQUEST_READ_PORT;
        action.information = 1;
    } else if (code == IOCTL_PORT_WRITE) {
        if (input_length < sizeof(PortWriteRequest)) return action;
        action.port = port_from(buffer);
        action.value = buffer[2];
        if (!request_port_allowed(action.port)) {
            action.status = REQUEST_STATUS_ACCESS_DENIED;
            return action;
        }
        action.touch = REQUEST_WRITE_PORT;
    } else {
        action.status = REQUEST_STATUS_UNSUCCESSFUL;
    }
    return action;
}
