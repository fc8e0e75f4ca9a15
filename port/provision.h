// Driver provisioning: make the driver channel available at start-up and
// leave its handle in g_driver_handle. driver_open's result is the only one
// that leaves this subsystem: 0 opened at once, 1 started (or installed and
// started) and opened again, 2 cannot be made available (3, on Linux only:
// start-up was asked to end meanwhile).
#pragma once
#include <cstdint>

constexpr int32_t DRIVER_OPENED = 0;
constexpr int32_t DRIVER_STARTED = 1;
constexpr int32_t DRIVER_UNAVAILABLE = 2;
// Linux: a request to end the program (a signal) cut the wait for the port
// short; start-up ends quietly, as the request asked.
constexpr int32_t DRIVER_INTERRUPTED = 3;

int32_t driver_open();

// Closes g_driver_handle at shutdown (the Linux port is released first).
void driver_close();

// Why driver_open gave 2, with the remedy, as one line for the user; null
// where the platform has nothing to add to the start-up message.
const char* driver_failure_reason();

// The start-up message's first line in the platform's own terms, naming
// what could not be used; null where the design's driver message stands.
const char* driver_failure_headline();
