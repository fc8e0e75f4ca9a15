// The hand-over of recorded sound: a ring of samples that the tick reads the
// way a sequence lock is read, without ever holding anything up.
//
// The recording side stores each sample in a ring of 8,192 (186 ms) at its
// sample number modulo the ring, and then publishes the new number of samples
// written, with how many of the newest are contiguous (up to a window), in one
// atomic word with release order. The tick reads that word with acquire order,
// so every sample up to that number is visible to it, and copies the newest
// 1,024 into a window of its own. The recording side may write on meanwhile,
// and one ring further on it would write over the very positions being copied.
// So before it stores a delivery it announces how far the delivery goes
// (g_claimed), and it stores every sample with release order: a copy that read
// any sample of that delivery (each with acquire order) then reads that
// announcement or a later one. After its copy, the tick reads the
// announcement; if the recording side may have come within reach of the
// window's positions, the copy is thrown away and made again from the newest
// number (three tries, then the next tick takes the newest). Otherwise it
// holds exactly the samples the number named, in order. The ring is made big
// enough that a retry needs 7,168 samples delivered during one copy of 1,024,
// a tick held up for over 150 ms; the check is what makes the copy sound, not
// the size.
//
// Every value the two sides share is an atomic, the samples too (on x86 these
// are plain moves, acquire and release included), so there is no data race at
// all, benign or not, and the thread sanitizer sees the whole protocol.
//
// A gap clears the count of contiguous samples, the word's low half, with one
// atomic AND from any thread. The recording side publishes with a
// compare-and-swap, so a gap told while it stores a delivery is never lost
// (that delivery counts as after the gap); it retries only then, and never
// waits for the tick. A silence request clears the count and then raises a
// flag that the tick looks at first.
#include "audio/window_relay.h"

#include <atomic>

namespace {

constexpr uint32_t WINDOW = RELAY_WINDOW_SAMPLES;
constexpr uint32_t RING = 8192;
constexpr uint32_t RING_MASK = RING - 1;
constexpr int TAKE_ATTEMPTS = 3;
static_assert((RING & RING_MASK) == 0 && RING >= 2 * WINDOW, "the ring is a power of two, two windows or more");

std::atomic<int16_t> g_ring[RING];
// Samples written so far (modulo 2^32) in the high half; how many of the
// newest are contiguous, counted up to a window, in the low half.
std::atomic<uint64_t> g_written{0};
// The number of samples written once the delivery being stored is in.
std::atomic<uint32_t> g_claimed{0};
std::atomic<bool> g_silence_requested{false};
static_assert(std::atomic<int16_t>::is_always_lock_free, "samples must be lock-free");
static_assert(std::atomic<uint64_t>::is_always_lock_free, "relay word must be lock-free");
static_assert(std::atomic<uint32_t>::is_always_lock_free, "claim must be lock-free");
static_assert(std::atomic<bool>::is_always_lock_free, "relay flag must be lock-free");

// The analysing side's own.
uint32_t g_taken;  // the number written when the last window was taken
int16_t g_window[WINDOW];
int16_t g_silent_window[WINDOW];  // zeros, for ever
WaveHeader g_header;

uint64_t relay_word(uint32_t written, uint32_t contiguous) {
    return static_cast<uint64_t>(written) << 32 | contiguous;
}
uint32_t relay_count(uint64_t word) { return static_cast<uint32_t>(word >> 32); }
uint32_t relay_contiguous(uint64_t word) { return static_cast<uint32_t>(word); }

WaveHeader* relay_header_of(int16_t* samples) {
    g_header = WaveHeader{};
    g_header.lpData = reinterpret_cast<char*>(samples);
    g_header.dwBufferLength = sizeof g_window;
    g_header.dwBytesRecorded = sizeof g_window;
    return &g_header;
}

}  // namespace

void relay_append(const int16_t* samples, uint32_t count) {
    if (count == 0) return;
    uint64_t word = g_written.load(std::memory_order_relaxed);
    const uint32_t written = relay_count(word);  // only this side changes it
    g_claimed.store(written + count, std::memory_order_relaxed);
    // The tick sees whole deliveries only, so no more than the last window's
    // worth of one can ever be shown.
    for (uint32_t i = count > WINDOW ? count - WINDOW : 0; i < count; ++i)
        g_ring[(written + i) & RING_MASK].store(samples[i], std::memory_order_release);
    uint64_t next;
    do {
        uint32_t contiguous = relay_contiguous(word);
        next = relay_word(written + count, count >= WINDOW - contiguous ? WINDOW : contiguous + count);
    } while (!g_written.compare_exchange_weak(word, next, std::memory_order_release, std::memory_order_relaxed));
}

void relay_restart() { g_written.fetch_and(~uint64_t{0xFFFFFFFF}, std::memory_order_relaxed); }

WaveHeader* relay_take() {
    // Looked at first, and taken (a read-modify-write) only when it was raised.
    if (g_silence_requested.load(std::memory_order_relaxed) &&
        g_silence_requested.exchange(false, std::memory_order_acquire))
        return relay_header_of(g_silent_window);
    for (int attempt = 0; attempt < TAKE_ATTEMPTS; ++attempt) {
        uint64_t word = g_written.load(std::memory_order_acquire);
        uint32_t written = relay_count(word);
        if (written == g_taken || relay_contiguous(word) < WINDOW) return nullptr;
        uint32_t first = written - WINDOW;
        for (uint32_t i = 0; i < WINDOW; ++i)
            g_window[i] = g_ring[(first + i) & RING_MASK].load(std::memory_order_acquire);
        // Nothing stored at or beyond the window's positions one ring on: whole.
        if (g_claimed.load(std::memory_order_relaxed) - first <= RING) {
            g_taken = written;
            return relay_header_of(g_window);
        }
    }
    return nullptr;  // overtaken each time (a stalled tick): the next one takes the newest
}

void relay_request_silence() {
    relay_restart();
    g_silence_requested.store(true, std::memory_order_release);
}

void relay_reset() {
    g_written.store(0, std::memory_order_relaxed);
    g_claimed.store(0, std::memory_order_relaxed);
    g_silence_requested.store(false, std::memory_order_relaxed);
    g_taken = 0;
}
