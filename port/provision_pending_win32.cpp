// Interim driver provisioning for Windows until the driver installer lands:
// opens the port I/O driver's device if it is already running and otherwise
// goes on without it (every port write then fails silently).
#include <windows.h>

#include "port/port.h"
#include "port/provision.h"

int32_t driver_open() {
    HANDLE device = CreateFileA("\\\\.\\hwinterface", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    g_driver_handle = reinterpret_cast<DriverHandle>(device);
    return DRIVER_OPENED;
}

void driver_close() {
    if (g_driver_handle != DRIVER_INVALID_HANDLE) CloseHandle(reinterpret_cast<HANDLE>(g_driver_handle));
    g_driver_handle = DRIVER_INVALID_HANDLE;
}

const char* driver_failure_reason() { return nullptr; }
