// A fake service manager and file system behind driver provisioning's
// platform calls. The service "hwinterface" can be registered or not,
// running or not; its start needs the program's driver image in the file it
// was registered with (resolved against the system root), and a running
// driver makes the device "\\.\hwinterface" openable. Every call lands in the
// shared call log, and every handle is tracked so that a test can see which
// are still open.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "port/provision_os.h"

struct FakeServices {
    // The service manager.
    uint32_t full_access_error = 0;  // nonzero: a full-access open fails with this error
    uint32_t read_access_error = 0;  // nonzero: a read-access open fails with this error
    uint32_t service_open_error = 0; // nonzero: the service exists but may not be opened
    bool start_refused = false;      // the driver refuses to load even with its file in place
    // The service "hwinterface".
    bool registered = false;
    bool running = false;
    ServiceEntry entry{};            // as registered (strings in the fields below)
    std::string entry_name, entry_display_name, entry_path;
    // The file system.
    std::string system_root = "C:\\WINDOWS";
    std::string system_directory = "C:\\WINDOWS\\system32";  // empty: the call fails
    std::map<std::string, std::vector<uint8_t>> files;       // keys in lower case
    bool file_create_refused = false;
    bool device_stays_missing = false;  // a started driver's device still cannot be opened
    // The program's driver image resource; empty when missing.
    std::vector<uint8_t> image;
};

extern FakeServices g_fake_services;

// Back to the defaults: nothing registered or running, no files, an image of
// 3,026 bytes, no handles open, last error 0.
void fake_services_reset();

// The state an earlier install leaves: the service registered as the program
// registers it and the driver file in place (the driver not running).
void fake_services_install_driver();

// Handles currently open, of every kind (device, file, manager, service).
int fake_services_open_handles();

// The file at `path` (any case); null when there is none.
const std::vector<uint8_t>* fake_services_file(const std::string& path);

// The arguments of the most recent create-file call.
struct FakeCreateFile {
    std::string path;
    uint32_t access, share_mode, disposition, attributes;
};
const std::vector<FakeCreateFile>& fake_services_create_calls();
