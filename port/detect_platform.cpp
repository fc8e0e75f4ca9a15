// Platform detection: which back-end carries port writes. The consumer line
// of Windows lets the process execute port instructions itself; the NT line
// needs the driver channel; anything else gets no port output. Systems that
// refuse the extended version record are asked again with the basic one.
#include <cstring>

#include "port/port.h"
#include "port/version_query.h"

int32_t detect_platform() {
    VersionRecord record;
    std::memset(&record, 0, sizeof record);
    record.size = VERSION_RECORD_EXTENDED_SIZE;
    if (!port_query_version(&record)) {
        // Not cleared again: the query only fills what it accepts.
        record.size = VERSION_RECORD_BASIC_SIZE;
        if (!port_query_version(&record)) return PLATFORM_NONE;
    }
    switch (record.platform_id) {
        case VERSION_PLATFORM_CONSUMER:
            return PLATFORM_DIRECT;
        case VERSION_PLATFORM_NT:
            return PLATFORM_DRIVER;
        default:
            return PLATFORM_NONE;
    }
}
