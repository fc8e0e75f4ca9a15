// Driver provisioning's platform calls on Windows: files and the device
// through CreateFileA, the system directory, the driver image among the
// program's resources, and the service control manager. Each function is one
// call (the image lookup the four resource calls in a row) and decides nothing.
#include <windows.h>

#include "port/provision_os.h"

// DRIVER_INVALID_HANDLE (-1) is INVALID_HANDLE_VALUE, so CreateFileA's result passes through as it is.
DriverHandle provision_create_file(const char* path, uint32_t access, uint32_t share_mode,
                                   uint32_t disposition, uint32_t attributes) {
    HANDLE file = CreateFileA(path, access, share_mode, nullptr, disposition, attributes, nullptr);
    return reinterpret_cast<DriverHandle>(file);
}

int32_t provision_write_file(DriverHandle file, const void* bytes, uint32_t size) {
    DWORD written = 0;
    return WriteFile(reinterpret_cast<HANDLE>(file), bytes, size, &written, nullptr) ? 1 : 0;
}

void provision_close_handle(DriverHandle handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

uint32_t provision_system_directory(char* buffer, uint32_t capacity) {
    return GetSystemDirectoryA(buffer, capacity);
}

const void* provision_find_resource(uint16_t id, const char* type, uint32_t* size) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (loaded == nullptr) return nullptr;
    const void* bytes = LockResource(loaded);
    if (bytes == nullptr) return nullptr;
    *size = SizeofResource(nullptr, found);
    return bytes;
}

ServiceHandle provision_open_manager(uint32_t access) { return OpenSCManagerA(nullptr, nullptr, access); }

ServiceHandle provision_open_service(ServiceHandle manager, const char* name, uint32_t access) {
    return OpenServiceA(static_cast<SC_HANDLE>(manager), name, access);
}

ServiceHandle provision_create_service(ServiceHandle manager, const ServiceEntry* entry) {
    return CreateServiceA(static_cast<SC_HANDLE>(manager), entry->name, entry->display_name, entry->access,
                          entry->service_type, entry->start_type, entry->error_control, entry->binary_path,
                          nullptr, nullptr, nullptr, nullptr, nullptr);
}

int32_t provision_start_service(ServiceHandle service) {
    return StartServiceA(static_cast<SC_HANDLE>(service), 0, nullptr) ? 1 : 0;
}

void provision_close_service(ServiceHandle handle) { CloseServiceHandle(static_cast<SC_HANDLE>(handle)); }

uint32_t provision_last_error() { return GetLastError(); }
