// The fakes' shared call log: a fixed array filled through an atomic index.
#include "tests/fakes/fake_log.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {
constexpr int CAPACITY = 1 << 20;
FakeEvent g_events[CAPACITY];
std::atomic<int> g_count{0};
}  // namespace

void fake_log(const char* what, int64_t a, int64_t b) {
    int i = g_count.fetch_add(1, std::memory_order_acq_rel);
    if (i < CAPACITY) g_events[i] = FakeEvent{what, a, b};
}

void fake_log_clear() { g_count.store(0, std::memory_order_release); }

int fake_log_count() {
    int n = g_count.load(std::memory_order_acquire);
    return n < CAPACITY ? n : CAPACITY;
}

FakeEvent fake_log_at(int index) { return g_events[index]; }

std::vector<std::string> fake_log_names() {
    std::vector<std::string> names;
    for (int i = 0; i < fake_log_count(); ++i) {
        const FakeEvent& e = g_events[i];
        if (std::strcmp(e.what, "port") == 0) {
            char text[32];
            std::snprintf(text, sizeof text, "port 0x%X=%d", static_cast<unsigned>(e.a), static_cast<int>(e.b));
            names.emplace_back(text);
        } else {
            names.emplace_back(e.what);
        }
    }
    return names;
}

std::vector<std::pair<uint16_t, uint8_t>> fake_log_port_writes() {
    std::vector<std::pair<uint16_t, uint8_t>> writes;
    for (int i = 0; i < fake_log_count(); ++i) {
        const FakeEvent& e = g_events[i];
        if (std::strcmp(e.what, "port") == 0)
            writes.emplace_back(static_cast<uint16_t>(e.a), static_cast<uint8_t>(e.b));
    }
    return writes;
}
