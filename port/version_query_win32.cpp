// The version query on Windows: GetVersionExA on the portable record, which
// has exactly the layout of the system's extended version record.
#include <windows.h>

#include <cstddef>

#include "port/version_query.h"

static_assert(sizeof(VersionRecord) == sizeof(OSVERSIONINFOEXA), "extended record size");
static_assert(VERSION_RECORD_BASIC_SIZE == sizeof(OSVERSIONINFOA), "basic record size");
static_assert(offsetof(VersionRecord, size) == offsetof(OSVERSIONINFOEXA, dwOSVersionInfoSize) &&
                  offsetof(VersionRecord, platform_id) == offsetof(OSVERSIONINFOEXA, dwPlatformId) &&
                  offsetof(VersionRecord, service_pack_major) ==
                      offsetof(OSVERSIONINFOEXA, wServicePackMajor) &&
                  offsetof(VersionRecord, product_type) == offsetof(OSVERSIONINFOEXA, wProductType),
              "version record layout");
static_assert(VERSION_PLATFORM_CONSUMER == VER_PLATFORM_WIN32_WINDOWS &&
                  VERSION_PLATFORM_NT == VER_PLATFORM_WIN32_NT,
              "platform identifiers");

bool port_query_version(VersionRecord* record) {
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(record)) != FALSE;
}
