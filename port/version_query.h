// The operating system's version query as platform detection uses it. The
// record has the layout of the extended version record (156 bytes); the
// basic record is its first 148 bytes. The caller sets only `size`, and only
// `platform_id` is read back. One implementation per platform; tests script it.
#pragma once
#include <cstdint>

struct VersionRecord {
    uint32_t size;  // bytes of the record the query may fill: 156 or 148
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint32_t platform_id;  // 1: consumer line (9x), 2: NT line
    char service_pack[128];
    uint16_t service_pack_major;
    uint16_t service_pack_minor;
    uint16_t suite_mask;
    uint8_t product_type;
    uint8_t reserved;
};

constexpr uint32_t VERSION_RECORD_EXTENDED_SIZE = 156;
constexpr uint32_t VERSION_RECORD_BASIC_SIZE = 148;
constexpr uint32_t VERSION_PLATFORM_CONSUMER = 1;
constexpr uint32_t VERSION_PLATFORM_NT = 2;

static_assert(sizeof(VersionRecord) == VERSION_RECORD_EXTENDED_SIZE, "extended version record");

// Fills `record` up to record->size bytes; false when the query refuses it.
bool port_query_version(VersionRecord* record);
