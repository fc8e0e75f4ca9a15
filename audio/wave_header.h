// The record that carries a block of sound to the block handler: the
// Windows edition's capture ring and wave input device use it as the
// platform's wave header record (the same shape and field names, 32 bytes on
// 32-bit Windows, 48 on 64-bit, so the device hands the very same record to
// the system); the Linux edition's window relay fills in just the buffer and
// its length (the 1,024 samples of a window).
#pragma once
#include <cstdint>

struct WaveHeader {
    char* lpData;              // the buffer
    uint32_t dwBufferLength;   // its length in bytes
    uint32_t dwBytesRecorded;  // filled by the device; nobody here reads it
    uintptr_t dwUser;
    uint32_t dwFlags;          // WHDR_* below, kept by the device
    uint32_t dwLoops;
    WaveHeader* lpNext;        // reserved for the device
    uintptr_t reserved;
};

static_assert(sizeof(WaveHeader) == 4 * sizeof(uint32_t) + 4 * sizeof(void*),
              "WaveHeader must keep the wave header record's layout");

constexpr uint32_t WHDR_DONE = 0x01;
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_INQUEUE = 0x10;

// The block handler the capture calls for each block it hands over; its result
// is ignored.
typedef int32_t (*BlockHandler)(WaveHeader* header);
