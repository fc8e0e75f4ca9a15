// The fake service manager and file system: a small model of the service
// "hwinterface", the driver file it loads and the device it makes, with the
// platform's error codes where provisioning looks at them.
#include "tests/fakes/fake_provision_os.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "tests/fakes/fake_log.h"

FakeServices g_fake_services;

namespace {

constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_SERVICE_ALREADY_RUNNING = 1056;
constexpr uint32_t ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr uint32_t ERROR_SERVICE_EXISTS = 1073;
constexpr uint32_t ERROR_FILE_INVALID = 1006;
constexpr uint32_t CREATE_ALWAYS = 2;
constexpr uint32_t OPEN_EXISTING = 3;
constexpr uint32_t MANAGER_CREATE_SERVICE = 0x0002;

enum Kind { DEVICE, DISK_FILE, MANAGER, SERVICE };
struct Handle {
    Kind kind;
    uint32_t access;
    std::string path;
};

std::map<intptr_t, Handle> g_handles;
intptr_t g_next_handle = 0x100;
uint32_t g_last_error = 0;
std::vector<FakeCreateFile> g_create_calls;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

intptr_t open_handle(Kind kind, uint32_t access, const std::string& path = "") {
    intptr_t h = g_next_handle;
    g_next_handle += 4;
    g_handles[h] = Handle{kind, access, path};
    return h;
}

const Handle* find(intptr_t h, Kind kind) {
    auto it = g_handles.find(h);
    return it != g_handles.end() && it->second.kind == kind ? &it->second : nullptr;
}

ServiceHandle as_service(intptr_t h) { return reinterpret_cast<ServiceHandle>(h); }
intptr_t as_int(ServiceHandle h) { return reinterpret_cast<intptr_t>(h); }

ServiceHandle fail_service(uint32_t error) {
    g_last_error = error;
    return nullptr;
}

// The registered path resolved as the service manager does: relative to the system root.
std::string registered_file() {
    const std::string& p = g_fake_services.entry_path;
    if (p.size() > 1 && p[1] == ':') return lower(p);
    return lower(g_fake_services.system_root + "\\" + p);
}

}  // namespace

void fake_services_reset() {
    g_fake_services = FakeServices{};
    g_fake_services.image.resize(3026);
    for (size_t i = 0; i < g_fake_services.image.size(); ++i) g_fake_services.image[i] = static_cast<uint8_t>(i * 7 + 1);
    g_handles.clear();
    g_last_error = 0;
    g_create_calls.clear();
}

void fake_services_install_driver() {
    g_fake_services.registered = true;
    g_fake_services.entry_name = "hwinterface";
    g_fake_services.entry_display_name = "hwinterface";
    g_fake_services.entry_path = "System32\\Drivers\\hwinterface.sys";
    g_fake_services.files[registered_file()] = g_fake_services.image;
}

int fake_services_open_handles() { return static_cast<int>(g_handles.size()); }

const std::vector<uint8_t>* fake_services_file(const std::string& path) {
    auto it = g_fake_services.files.find(lower(path));
    return it == g_fake_services.files.end() ? nullptr : &it->second;
}

const std::vector<FakeCreateFile>& fake_services_create_calls() { return g_create_calls; }

DriverHandle provision_create_file(const char* path, uint32_t access, uint32_t share_mode,
                                   uint32_t disposition, uint32_t attributes) {
    fake_log("create_file", access, disposition);
    g_create_calls.push_back(FakeCreateFile{path, access, share_mode, disposition, attributes});
    const std::string name = lower(path);
    if (name == "\\\\.\\hwinterface") {
        if (disposition != OPEN_EXISTING || !g_fake_services.running || g_fake_services.device_stays_missing) {
            g_last_error = ERROR_FILE_NOT_FOUND;
            return DRIVER_INVALID_HANDLE;
        }
        return open_handle(DEVICE, access);
    }
    if (g_fake_services.file_create_refused || disposition != CREATE_ALWAYS) {
        g_last_error = ERROR_ACCESS_DENIED;
        return DRIVER_INVALID_HANDLE;
    }
    g_fake_services.files[name].clear();  // created anew, an older file replaced
    return open_handle(DISK_FILE, access, name);
}

int32_t provision_write_file(DriverHandle file, const void* bytes, uint32_t size) {
    fake_log("write_file", size);
    const Handle* h = find(file, DISK_FILE);
    if (h == nullptr) {
        g_last_error = ERROR_INVALID_HANDLE;
        return 0;
    }
    std::vector<uint8_t>& content = g_fake_services.files[h->path];
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    content.insert(content.end(), b, b + size);
    return 1;
}

void provision_close_handle(DriverHandle handle) {
    fake_log("close_handle");
    auto it = g_handles.find(handle);
    if (it != g_handles.end() && (it->second.kind == DEVICE || it->second.kind == DISK_FILE)) g_handles.erase(it);
}

uint32_t provision_system_directory(char* buffer, uint32_t capacity) {
    fake_log("system_directory", capacity);
    const std::string& dir = g_fake_services.system_directory;
    if (dir.empty()) return 0;
    if (dir.size() + 1 > capacity) return static_cast<uint32_t>(dir.size() + 1);
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return static_cast<uint32_t>(dir.size());
}

const void* provision_find_resource(uint16_t id, const char* type, uint32_t* size) {
    fake_log("find_resource", id);
    if (g_fake_services.image.empty() || id != 103 || lower(type) != "bin") return nullptr;
    *size = static_cast<uint32_t>(g_fake_services.image.size());
    return g_fake_services.image.data();
}

ServiceHandle provision_open_manager(uint32_t access) {
    fake_log("open_manager", access);
    const bool full = access == 0xF003F;
    const uint32_t error = full ? g_fake_services.full_access_error : g_fake_services.read_access_error;
    if (error != 0) return fail_service(error);
    return as_service(open_handle(MANAGER, access));
}

ServiceHandle provision_open_service(ServiceHandle manager, const char* name, uint32_t access) {
    fake_log("open_service", access);
    if (find(as_int(manager), MANAGER) == nullptr) return fail_service(ERROR_INVALID_HANDLE);
    if (!g_fake_services.registered || lower(name) != "hwinterface") return fail_service(ERROR_SERVICE_DOES_NOT_EXIST);
    if (g_fake_services.service_open_error != 0) return fail_service(g_fake_services.service_open_error);
    return as_service(open_handle(SERVICE, access));
}

ServiceHandle provision_create_service(ServiceHandle manager, const ServiceEntry* entry) {
    fake_log("create_service");
    const Handle* m = find(as_int(manager), MANAGER);
    if (m == nullptr) return fail_service(ERROR_INVALID_HANDLE);
    if ((m->access & MANAGER_CREATE_SERVICE) == 0) return fail_service(ERROR_ACCESS_DENIED);
    if (g_fake_services.registered) return fail_service(ERROR_SERVICE_EXISTS);
    g_fake_services.registered = true;
    g_fake_services.entry = *entry;
    g_fake_services.entry_name = entry->name ? entry->name : "";
    g_fake_services.entry_display_name = entry->display_name ? entry->display_name : "";
    g_fake_services.entry_path = entry->binary_path ? entry->binary_path : "";
    return as_service(open_handle(SERVICE, entry->access));
}

int32_t provision_start_service(ServiceHandle service) {
    fake_log("start_service");
    if (find(as_int(service), SERVICE) == nullptr) {
        g_last_error = ERROR_INVALID_HANDLE;
        return 0;
    }
    if (g_fake_services.running) {
        g_last_error = ERROR_SERVICE_ALREADY_RUNNING;
        return 0;
    }
    auto file = g_fake_services.files.find(registered_file());
    if (g_fake_services.start_refused || file == g_fake_services.files.end() ||
        file->second != g_fake_services.image) {
        g_last_error = ERROR_FILE_INVALID;
        return 0;
    }
    g_fake_services.running = true;
    return 1;
}

void provision_close_service(ServiceHandle handle) {
    fake_log("close_service");
    auto it = g_handles.find(as_int(handle));
    if (it != g_handles.end() && (it->second.kind == MANAGER || it->second.kind == SERVICE)) g_handles.erase(it);
}

uint32_t provision_last_error() {
    fake_log("last_error", g_last_error);
    return g_last_error;
}
