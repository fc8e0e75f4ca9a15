// Linux-only pieces of port access: which ppdev device node driver_open opens
// ("/dev/parport0" unless the command line names another), and the text that
// explains a failed open or claim to the user.
#pragma once
#include <cstddef>

// Keeps `path` (not copied: it must live as long as the program, as argv does).
void port_set_device_path(const char* path);
const char* port_device_path();

// Writes the cause of a failed open (claiming false) or claim (claiming true)
// of `path` with error number `error`, and its remedy, as one line.
void driver_describe_failure(const char* path, int error, bool claiming, char* text, size_t size);
