// Fake port back-ends (every write lands in the call log as "port"), platform
// detection and provisioning that answer what the test asks for.
#include "tests/fakes/fake_port.h"

#include "port/port.h"
#include "port/provision.h"
#include "tests/fakes/fake_log.h"

int32_t g_fake_platform_kind = PLATFORM_DRIVER;
int32_t g_fake_driver_result = DRIVER_OPENED;
const char* g_fake_driver_reason = nullptr;
const char* g_fake_driver_headline = nullptr;

void fake_port_reset() {
    g_fake_platform_kind = PLATFORM_DRIVER;
    g_fake_driver_result = DRIVER_OPENED;
    g_fake_driver_reason = nullptr;
    g_fake_driver_headline = nullptr;
    g_platform_kind = PLATFORM_DRIVER;
    g_driver_handle = DRIVER_INVALID_HANDLE;
}

void port_out_direct(uint16_t port, uint8_t value) { fake_log("port", port, value); }
void port_out_channel(uint16_t port, uint8_t value) { fake_log("port", port, value); }

int32_t detect_platform() {
    fake_log("detect_platform");
    return g_fake_platform_kind;
}

int32_t driver_open() {
    fake_log("driver_open");
    return g_fake_driver_result;
}

void driver_close() { fake_log("driver_close"); }

const char* driver_failure_reason() { return g_fake_driver_reason; }

const char* driver_failure_headline() { return g_fake_driver_headline; }
