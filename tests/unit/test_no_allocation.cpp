// Nothing is allocated per block or per tick: every global operator new and
// the C allocation functions (wrapped at link time, see tests/CMakeLists.txt)
// are counted while sound passes through the Linux window relay into
// analyse_block, and while meter_tick runs many times, in both display sizes
// with the peak on and off, at the fixed 0 dB and +12 dB gains and with the
// automatic sensitivity.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/options.h"
#include "audio/analysis.h"
#include "audio/window_relay.h"
#include "meter/gain.h"
#include "meter/meter.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"
#include "tests/unit/test_block.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void count_allocation() {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}

void* counted_new(std::size_t size) {
    count_allocation();
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void* counted_new_aligned(std::size_t size, std::align_val_t align) {
    count_allocation();
    const std::size_t a = static_cast<std::size_t>(align);
    void* p = std::aligned_alloc(a, (size + a - 1) / a * a);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t size) { return counted_new(size); }
void* operator new[](std::size_t size) { return counted_new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new(std::size_t size, std::align_val_t align) { return counted_new_aligned(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return counted_new_aligned(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

// The C allocation functions, reached through the linker's --wrap.
extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* p, std::size_t size);
void* __wrap_malloc(std::size_t size) {
    count_allocation();
    return __real_malloc(size);
}
void* __wrap_calloc(std::size_t count, std::size_t size) {
    count_allocation();
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* p, std::size_t size) {
    count_allocation();
    return __real_realloc(p, size);
}
}

namespace {

void* volatile g_keep;  // keeps the self-check's allocations from being optimised away

long allocations_during(void (*work)()) {
    g_allocations.store(0);
    g_counting.store(true);
    work();
    g_counting.store(false);
    return g_allocations.load();
}

TEST(NoAllocation, TheCounterSeesNewAndMalloc) {
    EXPECT_GE(allocations_during([] {
                  int* p = new int(1);
                  g_keep = p;
                  delete p;
              }),
              1);
    EXPECT_GE(allocations_during([] {
                  g_keep = std::malloc(16);
                  std::free(g_keep);
              }),
              1);
}

TestBlock g_block;

TEST(NoAllocation, BlocksAndTicksAllocateNothing) {
    fake_log_clear();
    fake_port_reset();  // frames go all the way to the (recording) port back-end
    meter_reset();
    test_block_fill(g_block, [](int i) { return static_cast<int16_t>((i * 7919) % 65536 - 32768); });
    relay_reset();
    const long during = allocations_during([] {
        // The Linux road of sound: deliveries into the relay, the newest window out, analysed.
        for (int i = 0; i < 50; ++i) {
            relay_append(g_block.samples, 941);
            relay_append(g_block.samples + 941, 2048 - 941);
            if (i % 10 == 0) relay_request_silence();
            if (WaveHeader* window = relay_take()) analyse_block(window);
        }
        for (int gain = 0; gain < 3; ++gain) {
            if (gain == 1) gain_set_fixed(12.0);
            if (gain == 2) gain_set_auto();
            for (int sixteen = 0; sixteen < 2; ++sixteen) {
                for (int peak = 0; peak < 2; ++peak) {
                    g_sixteen_mode = static_cast<uint8_t>(sixteen);
                    g_peak_mode = static_cast<uint8_t>(peak);
                    for (int i = 0; i < 200; ++i) {
                        g_spectrum[i % 1024].store(i % 3 == 0 ? 131072.0 : 0.0);
                        meter_tick();
                    }
                }
            }
        }
    });
    EXPECT_EQ(during, 0);
    EXPECT_EQ(fake_log_port_writes().size(), 3u * (2u * 400 + 6u * 400));  // the ticks really wrote frames
}

}  // namespace
