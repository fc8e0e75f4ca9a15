// Test client for the port I/O driver under Wine (tests/integration/wine_driver.sh
// and wine_e2e.sh), one mode per call:
//   check IMAGE_PATH     registers the driver as a demand-start kernel service
//                        with this image path, starts it, and sends requests
//                        over the driver channel that touch no port: too short,
//                        no room for an answer, an unknown code, and ports
//                        outside the parallel-port blocks. Then it stops the
//                        service, checks that the device is gone and removes
//                        the service.
//   register IMAGE_PATH  registers the driver the same way and leaves it
//                        stopped, for the program to start.
//   unregister           removes the service "hwinterface".
// Prints one line per check; the exit code is the number of failed checks.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "port/driver_channel.h"

namespace {

constexpr const char* DEVICE_PATH = "\\\\.\\hwinterface";
int g_failures = 0;

void check(bool ok, const char* what, DWORD error = 0) {
    if (ok) {
        std::printf("ok - %s\n", what);
    } else {
        std::printf("not ok - %s (error %lu)\n", what, static_cast<unsigned long>(error));
        ++g_failures;
    }
    std::fflush(stdout);
}

HANDLE open_device() {
    return CreateFileA(DEVICE_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// One device-control request; gives the platform error (0 on success) and the bytes returned.
DWORD control(HANDLE device, DWORD code, const void* input, DWORD input_length, void* output, DWORD output_length,
              DWORD* returned) {
    *returned = 0xFFFF;
    BOOL ok = DeviceIoControl(device, code, const_cast<void*>(input), input_length, output, output_length, returned,
                              nullptr);
    return ok ? 0 : GetLastError();
}

void exercise(HANDLE device) {
    DWORD returned = 0;
    const PortWriteRequest write_lpt1 = {0x378, 0xFF};

    DWORD error = control(device, IOCTL_PORT_WRITE, &write_lpt1, 2, nullptr, 0, &returned);
    check(error == 0 && returned == 0, "a 2-byte write succeeds and does nothing", error);

    const PortReadRequest read_status = {0x379};
    unsigned char answer = 0xEE;
    error = control(device, IOCTL_PORT_READ, &read_status, sizeof read_status, &answer, 0, &returned);
    check(error == 0 && returned == 0 && answer == 0xEE, "a read with no room for the answer succeeds and returns nothing",
          error);

    error = control(device, CHANNEL_CODE(0x803u), &write_lpt1, sizeof write_lpt1, nullptr, 0, &returned);
    check(error == ERROR_GEN_FAILURE, "another function number fails (error 31)", error);

    const PortWriteRequest write_post = {0x80, 0x55};
    error = control(device, IOCTL_PORT_WRITE, &write_post, sizeof write_post, nullptr, 0, &returned);
    check(error == ERROR_ACCESS_DENIED, "a write to port 0x80 is refused (error 5)", error);

    const PortReadRequest read_serial = {0x3F8};
    answer = 0xEE;
    error = control(device, IOCTL_PORT_READ, &read_serial, sizeof read_serial, &answer, 1, &returned);
    check(error == ERROR_ACCESS_DENIED && answer == 0xEE, "a read of port 0x3F8 is refused (error 5)", error);

    const PortWriteRequest write_below = {0x377, 0x00};
    error = control(device, IOCTL_PORT_WRITE, &write_below, sizeof write_below, nullptr, 0, &returned);
    check(error == ERROR_ACCESS_DENIED, "a write to port 0x377 is refused (error 5)", error);

    // The refusals above came from the driver, not from a crashed driver
    // host (which also shows as error 5): it still answers.
    error = control(device, IOCTL_PORT_WRITE, &write_lpt1, 2, nullptr, 0, &returned);
    check(error == 0, "the driver still answers after the refusals", error);
}

bool wait_until_stopped(SC_HANDLE service) {
    for (int i = 0; i < 100; ++i) {
        SERVICE_STATUS status;
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOPPED) return true;
        Sleep(50);
    }
    return false;
}

// The driver as a stopped demand-start kernel service; null when it cannot be registered.
SC_HANDLE register_driver(SC_HANDLE manager, const char* image_path) {
    SC_HANDLE service = CreateServiceA(manager, "hwinterface", "hwinterface", SERVICE_ALL_ACCESS,
                                       SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       image_path, nullptr, nullptr, nullptr, nullptr, nullptr);
    check(service != nullptr, "service registered", GetLastError());
    return service;
}

void unregister_driver(SC_HANDLE manager) {
    SC_HANDLE service = OpenServiceA(manager, "hwinterface", DELETE);
    DWORD error = GetLastError();
    check(service != nullptr, "service opened for removal", error);
    if (service == nullptr) return;
    BOOL deleted = DeleteService(service);
    check(deleted != FALSE, "service removed", deleted ? 0 : GetLastError());
    CloseServiceHandle(service);
}

void check_driver(SC_HANDLE manager, const char* image_path) {
    SC_HANDLE service = register_driver(manager, image_path);
    if (service == nullptr) return;

    HANDLE device = open_device();
    check(device == INVALID_HANDLE_VALUE, "no device before the driver starts");
    if (device != INVALID_HANDLE_VALUE) CloseHandle(device);

    BOOL started = StartServiceA(service, 0, nullptr);
    check(started != FALSE, "driver started", started ? 0 : GetLastError());
    if (started) {
        device = open_device();
        check(device != INVALID_HANDLE_VALUE, "device opened", GetLastError());
        if (device != INVALID_HANDLE_VALUE) {
            HANDLE second = open_device();
            check(second != INVALID_HANDLE_VALUE, "a second open succeeds too (not exclusive)", GetLastError());
            if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
            exercise(device);
            CloseHandle(device);
        }

        SERVICE_STATUS status;
        BOOL stopped = ControlService(service, SERVICE_CONTROL_STOP, &status);
        check(stopped != FALSE && wait_until_stopped(service), "driver stopped", stopped ? 0 : GetLastError());
        device = open_device();
        DWORD error = GetLastError();
        check(device == INVALID_HANDLE_VALUE, "the device no longer opens after unloading", error);
        if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
    }

    DeleteService(service);
    CloseServiceHandle(service);
}

}  // namespace

int main(int argc, char** argv) {
    const bool with_path = argc == 3 && (std::strcmp(argv[1], "check") == 0 || std::strcmp(argv[1], "register") == 0);
    if (!with_path && !(argc == 2 && std::strcmp(argv[1], "unregister") == 0)) {
        std::fprintf(stderr, "usage: driver_client check|register IMAGE_PATH | unregister\n");
        return 100;
    }
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    check(manager != nullptr, "service manager opened", GetLastError());
    if (manager == nullptr) return g_failures;

    if (std::strcmp(argv[1], "check") == 0) {
        check_driver(manager, argv[2]);
    } else if (std::strcmp(argv[1], "register") == 0) {
        SC_HANDLE service = register_driver(manager, argv[2]);
        if (service != nullptr) CloseServiceHandle(service);
    } else {
        unregister_driver(manager);
    }
    CloseServiceHandle(manager);
    return g_failures;
}
