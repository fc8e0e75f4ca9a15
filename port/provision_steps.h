// The two steps driver_open takes when the driver's device is missing on
// Windows: start the registered service, and install the driver (write its
// file, register the service). Only driver_open calls them; the tests call
// them on their own to check each step's result.
#pragma once
#include <cstdint>

// driver_start results.
constexpr int32_t DRIVER_START_OK = 0;               // full access: opened and started
constexpr int32_t DRIVER_START_UNREACHABLE = 1;      // no manager (not for lack of rights) or no service
constexpr int32_t DRIVER_START_FAILED = 3;           // full access: the service refused to start
constexpr int32_t DRIVER_START_FAILED_READ_ONLY = 4; // read access: the service refused to start

// driver_install results.
constexpr int32_t DRIVER_INSTALL_DONE = 0;           // creation attempted, or no manager for another reason
constexpr int32_t DRIVER_INSTALL_DENIED = 5;         // the manager refused full access

int32_t driver_start();
int32_t driver_install();
