// The hand-over of recorded blocks as a triple buffer. The index of the
// published block and a "fresh" bit share one atomic word: the recording side
// swaps its full block in with release order, so the samples are visible
// before the index; the analysing side swaps the block it read out with
// acquire order and uses what it got only when the fresh bit was set. Each
// side keeps the index of its own block; the three indices are always a
// permutation of 0, 1, 2, so the two sides never touch the same block.
#include "audio/block_relay.h"

#include <atomic>

namespace {

constexpr uint32_t BLOCKS = 3;
constexpr uint32_t INDEX_MASK = 3;
constexpr uint32_t FRESH = 4;  // the published block has not been taken yet

struct RelayBlock {
    int16_t samples[RELAY_BLOCK_SAMPLES];
    WaveHeader header;
};

RelayBlock g_blocks[BLOCKS];
RelayBlock g_silent_block;  // zeros, for ever

std::atomic<uint32_t> g_published{1};  // index, with FRESH while not taken
std::atomic<bool> g_silence_requested{false};
static_assert(std::atomic<uint32_t>::is_always_lock_free, "relay word must be lock-free");
static_assert(std::atomic<bool>::is_always_lock_free, "relay flag must be lock-free");

// The recording side's block and fill; relaxed atomics only so that a reset
// made while neither side runs is race-free too.
std::atomic<uint32_t> g_filling{0};
std::atomic<uint32_t> g_filled{0};
uint32_t g_reading = 2;  // the analysing side's block

WaveHeader* relay_header_of(RelayBlock& block) {
    block.header = WaveHeader{};
    block.header.lpData = reinterpret_cast<char*>(block.samples);
    block.header.dwBufferLength = sizeof block.samples;
    block.header.dwBytesRecorded = sizeof block.samples;
    return &block.header;
}

}  // namespace

void relay_append(const int16_t* samples, uint32_t count) {
    uint32_t filling = g_filling.load(std::memory_order_relaxed);
    uint32_t filled = g_filled.load(std::memory_order_relaxed);
    while (count > 0) {
        uint32_t take = RELAY_BLOCK_SAMPLES - filled;
        if (take > count) take = count;
        int16_t* to = g_blocks[filling].samples + filled;
        for (uint32_t i = 0; i < take; ++i) to[i] = samples[i];
        samples += take;
        count -= take;
        filled += take;
        if (filled == RELAY_BLOCK_SAMPLES) {
            filling = g_published.exchange(filling | FRESH, std::memory_order_acq_rel) & INDEX_MASK;
            filled = 0;
        }
    }
    g_filling.store(filling, std::memory_order_relaxed);
    g_filled.store(filled, std::memory_order_relaxed);
}

void relay_restart_block() { g_filled.store(0, std::memory_order_relaxed); }

WaveHeader* relay_take() {
    if (g_silence_requested.exchange(false, std::memory_order_acquire)) return relay_header_of(g_silent_block);
    if ((g_published.load(std::memory_order_relaxed) & FRESH) == 0) return nullptr;
    uint32_t got = g_published.exchange(g_reading, std::memory_order_acq_rel);
    g_reading = got & INDEX_MASK;
    // Dropped by a silence request between the look and the swap: nothing new.
    if ((got & FRESH) == 0) return nullptr;
    return relay_header_of(g_blocks[g_reading]);
}

void relay_request_silence() {
    g_published.fetch_and(~FRESH, std::memory_order_relaxed);
    g_silence_requested.store(true, std::memory_order_release);
}

void relay_reset() {
    g_published.store(1, std::memory_order_relaxed);
    g_filling.store(0, std::memory_order_relaxed);
    g_filled.store(0, std::memory_order_relaxed);
    g_reading = 2;
    g_silence_requested.store(false, std::memory_order_relaxed);
}
