/* The driver's decision for one device-control request, kept free of any OS
   header so that it is the same code in the kernel image and in the native
   unit tests. Given the control code, the two buffer lengths and the bytes of
   the system buffer, it says which port to read or write (if any), with which
   value, and how the request completes. Only the registers of the standard
   parallel ports may be touched: any other port is refused, so that opening
   the device does not hand every I/O port of the machine to its caller. */
#ifndef SONABAR_REQUEST_CHECK_H
#define SONABAR_REQUEST_CHECK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Completion statuses, the kernel's own values. */
#define REQUEST_STATUS_SUCCESS 0x00000000u
#define REQUEST_STATUS_UNSUCCESSFUL 0xC0000001u
#define REQUEST_STATUS_ACCESS_DENIED 0xC0000022u

/* What the kernel file must do before completing the request. */
enum {
    REQUEST_TOUCH_NOTHING = 0,
    REQUEST_READ_PORT = 1,  /* read `port`, put the byte into buffer byte 0 */
    REQUEST_WRITE_PORT = 2  /* write `value` to `port` */
};

typedef struct RequestAction {
    int touch;            /* REQUEST_TOUCH_NOTHING, REQUEST_READ_PORT or REQUEST_WRITE_PORT */
    uint16_t port;
    uint8_t value;
    uint32_t status;      /* REQUEST_STATUS_* */
    uint32_t information; /* bytes of output returned */
} RequestAction;

/* Decides one request. `buffer` holds `input_length` bytes of input and is
   read only as far as the request's record needs, so it may be null when the
   input length is 0. */
RequestAction request_check(uint32_t code, uint32_t input_length, uint32_t output_length,
                            const uint8_t* buffer);

/* Nonzero when `port` lies in one of the parallel-port register blocks the
   driver serves. */
int request_port_allowed(uint16_t port);

#ifdef __cplusplus
}
#endif

#endif
