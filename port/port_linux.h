// Linux-only pieces of port access: which ppdev device node driver_open opens
// ("/dev/parport0" unless the command line names another), the text that
// explains a failed open or claim to the user, and the hooks of the terminal
// preview: a tap that sees every register write, and a port that may be missing.
#pragma once
#include <cstddef>
#include <cstdint>

// Keeps `path` (not copied: it must live as long as the program, as argv does).
void port_set_device_path(const char* path);

// Writes the cause of a failed open (claiming false) or claim (claiming true)
// of `path` with error number `error`, and its remedy, as one line.
void driver_describe_failure(const char* path, int error, bool claiming, char* text, size_t size);

// Every register write is also handed to `tap`, port or no port. Set it (or
// null) before any other thread starts; it runs on the writing thread and must
// not block.
typedef void (*PortTap)(uint16_t port, uint8_t value);
void port_set_tap(PortTap tap);

// When optional, a port that cannot be opened or claimed is no start-up
// failure: driver_open says why in one line on stderr and goes on without a
// channel, so the writes reach only the tap.
void port_set_optional(bool optional);
