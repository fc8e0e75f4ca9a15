// The scriptable ring_os stand-in behind fake_ring_os.h. Used from one thread
// only: its threads never run.
#include "tests/fakes/fake_ring_os.h"

#include <cstdlib>
#include <set>

#include "audio/ring_os.h"
#include "tests/fakes/fake_log.h"

FakeRingScript g_fake_ring;
std::function<void(int)> g_fake_ring_on_wait;

namespace {
std::set<void*> g_memory;  // blocks allocated and not released
int g_alloc_calls = 0;
int g_allocations = 0;
int g_lock_calls = 0;
int g_live_events = 0;
int g_event_sets = 0;
int g_threads = 0;
int g_bad_releases = 0;
int g_waits = 0;
RingThreadEntry g_thread_entry = nullptr;
int g_event_token;   // events and threads are addresses of these
int g_thread_token;
}  // namespace

void fake_ring_reset() {
    for (void* block : g_memory) std::free(block);
    g_memory.clear();
    g_fake_ring = FakeRingScript{};
    g_alloc_calls = g_allocations = g_lock_calls = 0;
    g_live_events = g_event_sets = g_threads = g_bad_releases = g_waits = 0;
    g_thread_entry = nullptr;
    g_fake_ring_on_wait = nullptr;
}

int fake_ring_allocations() { return g_allocations; }
int fake_ring_live_memory() { return static_cast<int>(g_memory.size()); }
int fake_ring_live_events() { return g_live_events; }
int fake_ring_event_sets() { return g_event_sets; }
int fake_ring_threads() { return g_threads; }
int fake_ring_bad_releases() { return g_bad_releases; }
uint32_t fake_ring_run_thread() { return g_thread_entry(nullptr); }

RingEvent ring_event_create() {
    fake_log("ring_event_create");
    if (g_fake_ring.fail_event) return nullptr;
    ++g_live_events;
    return &g_event_token;
}

void ring_event_set(RingEvent) { ++g_event_sets; }

void ring_event_wait(RingEvent) {
    ++g_waits;
    if (g_fake_ring_on_wait) g_fake_ring_on_wait(g_waits);
}

void ring_event_destroy(RingEvent) {
    fake_log("ring_event_destroy");
    --g_live_events;
}

RingThread ring_thread_create(RingThreadEntry entry) {
    fake_log("ring_thread_create");
    if (g_fake_ring.fail_thread) return nullptr;
    ++g_threads;
    g_thread_entry = entry;
    return &g_thread_token;
}

void ring_thread_raise_priority(RingThread) { fake_log("ring_thread_raise_priority"); }

void ring_thread_join(RingThread) { fake_log("ring_thread_join"); }

void ring_thread_release(RingThread) { fake_log("ring_thread_release"); }

RingMemory ring_memory_alloc(uint32_t bytes) {
    if (g_alloc_calls++ == g_fake_ring.fail_alloc_at) return nullptr;
    void* block = std::calloc(1, bytes);
    if (block != nullptr) {
        g_memory.insert(block);
        ++g_allocations;
    }
    return block;
}

void* ring_memory_lock(RingMemory memory) {
    if (g_lock_calls++ == g_fake_ring.fail_lock_at) return nullptr;
    return memory;
}

void ring_memory_release(RingMemory memory) {
    fake_log("ring_memory_release");
    if (g_memory.erase(memory) == 1) {
        std::free(memory);
    } else {
        ++g_bad_releases;
    }
}
