// The scripted version query: fills only the platform identifier of a record
// whose size it accepts, and leaves a refused record untouched, as the system
// call does.
#include "tests/fakes/fake_version.h"

#include <cstring>

#include "port/version_query.h"

FakeVersionScript g_fake_version;

namespace {
constexpr int MAX_CALLS = 8;
FakeVersionCall g_calls[MAX_CALLS];
int g_call_count = 0;

bool fake_version_clear_after_size(const VersionRecord* record) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(record);
    for (size_t i = sizeof record->size; i < sizeof *record; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}
}  // namespace

void fake_version_reset() {
    g_fake_version = FakeVersionScript{};
    g_call_count = 0;
}

int fake_version_calls() { return g_call_count; }

FakeVersionCall fake_version_call(int index) { return g_calls[index]; }

bool port_query_version(VersionRecord* record) {
    if (g_call_count < MAX_CALLS)
        g_calls[g_call_count] = FakeVersionCall{record->size, fake_version_clear_after_size(record)};
    ++g_call_count;
    bool accepted = (record->size == VERSION_RECORD_EXTENDED_SIZE && g_fake_version.accept_extended) ||
                    (record->size == VERSION_RECORD_BASIC_SIZE && g_fake_version.accept_basic);
    if (accepted) record->platform_id = g_fake_version.platform_id;
    return accepted;
}
