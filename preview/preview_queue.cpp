// A bounded multi-producer, single-consumer queue over a ring of slots, each
// with its own sequence number. A producer claims a position by advancing the
// tail with a compare-and-swap, fills the slot and publishes it by storing
// the position + 1 into the slot's sequence (release); the consumer takes the
// slot once it sees that sequence (acquire) and hands the slot back to the
// next lap by storing the position + the ring size (release), which the
// producer of that lap waits to see (acquire) before writing. No locks: a
// producer that finds its slot still in use gives up at once.
#include "preview/preview_queue.h"

#include <atomic>

namespace {

static_assert((PREVIEW_QUEUE_SLOTS & (PREVIEW_QUEUE_SLOTS - 1)) == 0, "the ring size is a power of two");
static_assert(std::atomic<uint32_t>::is_always_lock_free, "queue positions must be lock-free");

struct Slot {
    std::atomic<uint32_t> sequence;
    PreviewWrite write;
};

Slot g_slots[PREVIEW_QUEUE_SLOTS];
std::atomic<uint32_t> g_tail{0};     // next position a producer claims
uint32_t g_head = 0;                 // next position the consumer takes (consumer only)

}  // namespace

void preview_queue_reset() {
    for (uint32_t i = 0; i < PREVIEW_QUEUE_SLOTS; ++i) g_slots[i].sequence.store(i, std::memory_order_relaxed);
    g_tail.store(0, std::memory_order_relaxed);
    g_head = 0;
}

bool preview_queue_push(uint16_t offset, uint8_t value) {
    uint32_t position = g_tail.load(std::memory_order_relaxed);
    for (;;) {
        Slot& slot = g_slots[position & (PREVIEW_QUEUE_SLOTS - 1)];
        // Acquire: the consumer's reading of this slot's last lap is done.
        uint32_t sequence = slot.sequence.load(std::memory_order_acquire);
        int32_t lag = static_cast<int32_t>(sequence - position);
        if (lag == 0) {
            if (g_tail.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                slot.write = PreviewWrite{offset, value};
                slot.sequence.store(position + 1, std::memory_order_release);  // publishes the write
                return true;
            }
            // `position` now holds the tail another producer left: try there.
        } else if (lag < 0) {
            return false;  // a lap behind: the queue is full
        } else {
            position = g_tail.load(std::memory_order_relaxed);  // another producer took this slot
        }
    }
}

bool preview_queue_pop(PreviewWrite* write) {
    Slot& slot = g_slots[g_head & (PREVIEW_QUEUE_SLOTS - 1)];
    if (slot.sequence.load(std::memory_order_acquire) != g_head + 1) return false;
    *write = slot.write;
    slot.sequence.store(g_head + PREVIEW_QUEUE_SLOTS, std::memory_order_release);  // frees it for the next lap
    ++g_head;
    return true;
}
