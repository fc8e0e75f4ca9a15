// The operating-system calls that driver provisioning stands on: device and
// file handles, the system directory, the driver image among the program's
// resources, and the service manager. Each function forwards its arguments to
// one platform call, so every value that matters is chosen by provision.cpp.
// One implementation on Windows (provision_win32.cpp); the tests use a fake
// service manager and file system.
#pragma once
#include <cstdint>

#include "port/port.h"

// A service-manager or service handle; null when the call failed.
typedef void* ServiceHandle;

// Opens or creates a file or device; DRIVER_INVALID_HANDLE on failure.
DriverHandle provision_create_file(const char* path, uint32_t access, uint32_t share_mode,
                                   uint32_t disposition, uint32_t attributes);
// Writes `size` bytes in one synchronous call; nonzero on success.
int32_t provision_write_file(DriverHandle file, const void* bytes, uint32_t size);
void provision_close_handle(DriverHandle handle);

// Copies the system directory into `buffer` (`capacity` characters) and
// returns its length without the terminating zero; when it does not fit,
// returns the capacity it needs (with the zero); 0 on failure.
uint32_t provision_system_directory(char* buffer, uint32_t capacity);

// Finds, loads and locks the resource `id` of type `type` in the program's
// own module and gives its bytes and size; null when any step fails.
const void* provision_find_resource(uint16_t id, const char* type, uint32_t* size);

// The service's registration, as the service manager's creation call takes it;
// load-order group, tag, dependencies, account and password are left empty.
struct ServiceEntry {
    const char* name;
    const char* display_name;
    uint32_t access;
    uint32_t service_type;
    uint32_t start_type;
    uint32_t error_control;
    const char* binary_path;
};

// Service manager of the local machine, default database.
ServiceHandle provision_open_manager(uint32_t access);
ServiceHandle provision_open_service(ServiceHandle manager, const char* name, uint32_t access);
ServiceHandle provision_create_service(ServiceHandle manager, const ServiceEntry* entry);
// Starts the service with no arguments; nonzero on success.
int32_t provision_start_service(ServiceHandle service);
void provision_close_service(ServiceHandle handle);

// The calling thread's last platform error code.
uint32_t provision_last_error();
