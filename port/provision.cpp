// Driver provisioning on Windows: open the driver's device; when it is
// missing, start the driver's service, and when that fails, write the driver
// file out of the program's resources, register the service and start it.
// Every handle this file opens on the service manager or a file is closed
// before the step returns; only the device handle stays, in g_driver_handle.
#include <cstring>

#include "port/port.h"
#include "port/provision.h"
#include "port/provision_os.h"
#include "port/provision_steps.h"

namespace {

constexpr const char* DEVICE_PATH = "\\\\.\\hwinterface";
constexpr const char* SERVICE_NAME = "hwinterface";
// Appended to the system directory to name the file written.
constexpr const char* DRIVER_FILE_TAIL = "\\Drivers\\hwinterface.sys";
// Registered with the service manager, which resolves it against the system root.
constexpr const char* DRIVER_SERVICE_PATH = "System32\\Drivers\\hwinterface.sys";
constexpr uint16_t DRIVER_IMAGE_ID = 103;
constexpr const char* DRIVER_IMAGE_TYPE = "BIN";

// Platform values, named here because this file sees no OS header.
constexpr uint32_t ACCESS_READ_WRITE = 0xC0000000;    // GENERIC_READ | GENERIC_WRITE
constexpr uint32_t ACCESS_WRITE = 0x40000000;         // GENERIC_WRITE
constexpr uint32_t ACCESS_READ = 0x80000000;          // GENERIC_READ
constexpr uint32_t ACCESS_EXECUTE = 0x20000000;       // GENERIC_EXECUTE
constexpr uint32_t MANAGER_ALL_ACCESS = 0xF003F;      // SC_MANAGER_ALL_ACCESS
constexpr uint32_t SERVICE_FULL_ACCESS = 0xF01FF;     // SERVICE_ALL_ACCESS
constexpr uint32_t KERNEL_DRIVER = 1;                 // SERVICE_KERNEL_DRIVER
constexpr uint32_t SYSTEM_START = 1;                  // SERVICE_SYSTEM_START
constexpr uint32_t ERROR_CONTROL_NORMAL = 1;          // SERVICE_ERROR_NORMAL
constexpr uint32_t OPEN_EXISTING_FILE = 3;            // OPEN_EXISTING
constexpr uint32_t CREATE_ALWAYS_FILE = 2;            // CREATE_ALWAYS
constexpr uint32_t ATTRIBUTE_NORMAL = 0x80;           // FILE_ATTRIBUTE_NORMAL
constexpr uint32_t ERROR_ACCESS_DENIED_CODE = 5;      // ERROR_ACCESS_DENIED

// The platform's maximum path length.
constexpr uint32_t PATH_CAPACITY = 260;
char g_driver_path[PATH_CAPACITY];

DriverHandle open_device() {
    return provision_create_file(DEVICE_PATH, ACCESS_READ_WRITE, 0, OPEN_EXISTING_FILE, ATTRIBUTE_NORMAL);
}

void close_if_open(ServiceHandle handle) {
    if (handle != nullptr) provision_close_service(handle);
}

// Completes g_driver_path from the system directory of `length` characters;
// false, with nothing appended, when the directory is unknown or the whole
// path would not fit the buffer.
bool complete_driver_path(uint32_t length) {
    const size_t tail = std::strlen(DRIVER_FILE_TAIL) + 1;
    if (length == 0 || length >= PATH_CAPACITY || PATH_CAPACITY - length < tail) return false;
    std::memcpy(g_driver_path + length, DRIVER_FILE_TAIL, tail);
    return true;
}

// Writes the driver image into the system's driver folder, replacing any
// older file. Nothing is reported: the start that follows decides.
void write_driver_file() {
    const uint32_t length = provision_system_directory(g_driver_path, PATH_CAPACITY);
    uint32_t size = 0;
    const void* image = provision_find_resource(DRIVER_IMAGE_ID, DRIVER_IMAGE_TYPE, &size);
    if (image == nullptr || !complete_driver_path(length)) return;
    DriverHandle file = provision_create_file(g_driver_path, ACCESS_WRITE, 0, CREATE_ALWAYS_FILE, 0);
    if (file == DRIVER_INVALID_HANDLE) return;
    provision_write_file(file, image, size);
    provision_close_handle(file);
}

}  // namespace

int32_t driver_start() {
    ServiceHandle manager = provision_open_manager(MANAGER_ALL_ACCESS);
    if (manager != nullptr) {
        ServiceHandle service = provision_open_service(manager, SERVICE_NAME, ACCESS_EXECUTE);
        if (service == nullptr) {
            provision_close_service(manager);
            return DRIVER_START_UNREACHABLE;
        }
        const bool started = provision_start_service(service) != 0;
        provision_close_service(service);
        provision_close_service(manager);
        return started ? DRIVER_START_OK : DRIVER_START_FAILED;
    }
    if (provision_last_error() != ERROR_ACCESS_DENIED_CODE) return DRIVER_START_UNREACHABLE;

    // Refused full access: a user who may not manage services may still be
    // allowed to start this one.
    manager = provision_open_manager(ACCESS_READ);
    ServiceHandle service =
        manager != nullptr ? provision_open_service(manager, SERVICE_NAME, ACCESS_EXECUTE) : nullptr;
    if (service == nullptr) {
        close_if_open(manager);
        return DRIVER_START_UNREACHABLE;
    }
    const bool started = provision_start_service(service) != 0;
    provision_close_service(service);
    provision_close_service(manager);
    // A driver started this way is as available as one started with full
    // access: the device can be opened now, so driver_open must not go on to
    // an install that the refused access would make fail.
    return started ? DRIVER_START_OK : DRIVER_START_FAILED_READ_ONLY;
}

int32_t driver_install() {
    write_driver_file();

    ServiceHandle manager = provision_open_manager(MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        return provision_last_error() == ERROR_ACCESS_DENIED_CODE ? DRIVER_INSTALL_DENIED : DRIVER_INSTALL_DONE;
    }
    const ServiceEntry entry = {SERVICE_NAME,  SERVICE_NAME,         SERVICE_FULL_ACCESS, KERNEL_DRIVER,
                                SYSTEM_START, ERROR_CONTROL_NORMAL, DRIVER_SERVICE_PATH};
    // A service of that name that exists already makes the creation fail
    // without harm: the start that follows decides.
    close_if_open(provision_create_service(manager, &entry));
    provision_close_service(manager);
    return DRIVER_INSTALL_DONE;
}

int32_t driver_open() {
    g_driver_handle = open_device();
    if (g_driver_handle != DRIVER_INVALID_HANDLE) return DRIVER_OPENED;

    if (driver_start() != DRIVER_START_OK) {
        if (driver_install() != DRIVER_INSTALL_DONE) return DRIVER_UNAVAILABLE;
        if (driver_start() != DRIVER_START_OK) return DRIVER_UNAVAILABLE;
    }
    // Started: the device exists now. Should it still not open, every port
    // write through the channel fails silently.
    g_driver_handle = open_device();
    return DRIVER_STARTED;
}

void driver_close() {
    if (g_driver_handle == DRIVER_INVALID_HANDLE) return;
    provision_close_handle(g_driver_handle);
    g_driver_handle = DRIVER_INVALID_HANDLE;
}

const char* driver_failure_reason() { return nullptr; }

const char* driver_failure_headline() { return nullptr; }
