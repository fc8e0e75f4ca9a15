// A scripted version query for tests of platform detection: it accepts or
// refuses each record size and records what every call was given.
#pragma once
#include <cstdint>

struct FakeVersionScript {
    bool accept_extended = true;  // a 156-byte record is filled
    bool accept_basic = true;     // a 148-byte record is filled
    uint32_t platform_id = 2;     // what an accepted call reports
};

struct FakeVersionCall {
    uint32_t size;      // the record size the caller set
    bool arrived_clear; // every byte after the size field was 0
};

extern FakeVersionScript g_fake_version;

void fake_version_reset();
int fake_version_calls();
FakeVersionCall fake_version_call(int index);
