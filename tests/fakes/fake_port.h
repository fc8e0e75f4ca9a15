// A recording port and scriptable platform detection and provisioning.
#pragma once
#include <cstdint>

extern int32_t g_fake_platform_kind;    // what detect_platform returns (default: driver channel)
extern int32_t g_fake_driver_result;    // what driver_open returns (default: 0)
extern const char* g_fake_driver_reason;
extern const char* g_fake_driver_headline;
void fake_port_reset();
