// The capture ring. Eight buffers circulate between the wave input device and
// the worker: the device fills them in the order they were queued, its
// callback records each completed header and signals an auto-reset event, and
// the worker hands the newest completed block to the block handler and gives
// every completed buffer back to the device exactly once.
//
// The hand-off is the one slot g_done_header (the newest completed header)
// plus a completion queue: for each of the eight entries, the number of the
// completion that handed its buffer back and that the worker has not taken yet.
// When the worker falls behind, the slot has moved on past buffers it never
// saw: those "displaced" buffers still carry their numbers, so the worker
// returns them to the device, oldest first, without analysing them. Each
// buffer has a place of its own, written by the callback of its completion and
// cleared by the worker before the buffer is queued again, so no completion can
// overwrite another, whichever thread reports it. A wake that finds the slot's
// header already taken (its event fired again) does nothing.
//
// Orderly end: capture_close stops recording, wakes the worker for its end
// (it leaves without touching the handler or the device), waits for it, has
// the device hand back every queued buffer, unprepares all eight, closes the
// device and only then releases the memory and the event. Should the device
// refuse to close, it may still hold the buffers: they are then left allocated
// rather than freed under it.
#include "audio/capture_ring.h"
#include "audio/capture_ring_peek.h"

#include <atomic>

#include "audio/ring_os.h"

namespace {

WaveFormat g_wave_format;
uint32_t g_buffer_bytes;
RingMemory g_buffer_memory[CAPTURE_BUFFERS];
char* g_buffers[CAPTURE_BUFFERS];
RingMemory g_header_memory[CAPTURE_BUFFERS];
WaveHeader* g_headers[CAPTURE_BUFFERS];
WaveInHandle g_wave_in;
RingEvent g_block_event;
RingThread g_worker_thread;
bool g_capture_open;

// Shared with the worker and the device's callback thread. Relaxed where the
// event (set after the store, read after the wait) or the thread's creation
// already orders the access; release/acquire where a header is published
// together with the samples in its buffer.
std::atomic<WaveHeader*> g_done_header{nullptr};
std::atomic<BlockHandler> g_block_handler{nullptr};
std::atomic<bool> g_capture_running{false};
std::atomic<bool> g_worker_quit{false};

// The completion queue: per entry, the completion number of its buffer while
// the worker has yet to take it, 0 otherwise. Numbers count completions from 1
// and never wrap (64 bits), so ascending numbers are completion order.
std::atomic<uint64_t> g_completion[CAPTURE_BUFFERS];
std::atomic<uint64_t> g_completions{0};

static_assert(std::atomic<WaveHeader*>::is_always_lock_free, "hand-off must be lock-free");
static_assert(std::atomic<BlockHandler>::is_always_lock_free, "handler must be lock-free");
static_assert(std::atomic<bool>::is_always_lock_free, "flags must be lock-free");
static_assert(std::atomic<uint64_t>::is_always_lock_free, "completion queue must be lock-free");

void capture_reset_hand_off() {
    for (auto& number : g_completion) number.store(0, std::memory_order_relaxed);
    g_done_header.store(nullptr, std::memory_order_relaxed);
    g_worker_quit.store(false, std::memory_order_relaxed);
}

// Allocates fixed, zero-filled memory; its address, or null with nothing held.
void* capture_allocate(uint32_t bytes, RingMemory* memory) {
    RingMemory m = ring_memory_alloc(bytes);
    if (m == nullptr) return nullptr;
    void* address = ring_memory_lock(m);
    if (address == nullptr) {
        ring_memory_release(m);
        return nullptr;
    }
    *memory = m;
    return address;
}

// Allocates entry i's buffer and header unless they exist already (after a
// failed open), and sets the header up. False when memory is short.
bool capture_allocate_entry(int i) {
    if (g_buffer_memory[i] == nullptr) {
        g_buffers[i] = static_cast<char*>(capture_allocate(g_buffer_bytes, &g_buffer_memory[i]));
        if (g_buffers[i] == nullptr) return false;
    }
    if (g_header_memory[i] == nullptr) {
        g_headers[i] = static_cast<WaveHeader*>(capture_allocate(sizeof(WaveHeader), &g_header_memory[i]));
        if (g_headers[i] == nullptr) return false;
    }
    *g_headers[i] = WaveHeader{};
    g_headers[i]->lpData = g_buffers[i];
    g_headers[i]->dwBufferLength = g_buffer_bytes;
    return true;
}

// Drops entry i; its memory is released unless the device may still hold it.
void capture_drop_entry(int i, bool release) {
    if (release && g_header_memory[i] != nullptr) ring_memory_release(g_header_memory[i]);
    if (release && g_buffer_memory[i] != nullptr) ring_memory_release(g_buffer_memory[i]);
    g_header_memory[i] = nullptr;
    g_headers[i] = nullptr;
    g_buffer_memory[i] = nullptr;
    g_buffers[i] = nullptr;
}

int capture_entry_of(const WaveHeader* header) {
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) {
        if (g_headers[i] == header) return i;
    }
    return -1;
}

// The entry with the oldest completion not after `limit`, or -1.
int capture_oldest_through(uint64_t limit) {
    int oldest = -1;
    uint64_t oldest_number = 0;
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) {
        uint64_t number = g_completion[i].load(std::memory_order_acquire);
        if (number == 0 || number > limit) continue;
        if (oldest < 0 || number < oldest_number) {
            oldest = i;
            oldest_number = number;
        }
    }
    return oldest;
}

void capture_requeue(WaveHeader* header) {
    wave_in_unprepare_header(g_wave_in, header);
    wave_in_prepare_header(g_wave_in, header);
    wave_in_add_buffer(g_wave_in, header);
}

// Takes the completed buffers up to and including `newest`, in completion
// order: older ones (displaced from the slot) go straight back to the device,
// the newest reaches the handler first. Completions after `newest` stay for
// the wake their own event brings.
void capture_take_through(WaveHeader* newest) {
    int newest_entry = capture_entry_of(newest);
    if (newest_entry < 0) return;
    uint64_t newest_number = g_completion[newest_entry].load(std::memory_order_acquire);
    if (newest_number == 0) return;  // already taken in an earlier cycle
    for (;;) {
        // Never -1: the newest entry qualifies until it is taken, and only
        // this thread clears an entry.
        int entry = capture_oldest_through(newest_number);
        WaveHeader* header = g_headers[entry];
        // Cleared before the buffer goes back, so its next completion finds
        // the place free.
        g_completion[entry].store(0, std::memory_order_relaxed);
        if (entry != newest_entry) {
            capture_requeue(header);
            continue;
        }
        BlockHandler handler = g_block_handler.load(std::memory_order_relaxed);
        if (handler != nullptr) handler(header);
        capture_requeue(header);
        return;
    }
}

}  // namespace

void capture_open() {
    if (g_capture_open) return;

    g_wave_format.wFormatTag = 1;
    g_wave_format.nChannels = 1;
    g_wave_format.nSamplesPerSec = 44100;
    g_wave_format.nAvgBytesPerSec = 88200;
    g_wave_format.nBlockAlign = 2;
    g_wave_format.wBitsPerSample = 16;
    g_wave_format.cbSize = 0;
    g_buffer_bytes = CAPTURE_BUFFER_BYTES;

    for (int i = 0; i < CAPTURE_BUFFERS; ++i) {
        if (!capture_allocate_entry(i)) return;  // unopened; close releases what exists
    }
    capture_reset_hand_off();

    WaveInHandle device = nullptr;
    if (wave_in_open(&device, &g_wave_format, wave_in_callback, 0) != 0 || device == nullptr) return;
    RingEvent event = ring_event_create();
    if (event == nullptr) {
        wave_in_close(device);  // no buffer was ever queued: nothing to hand back
        return;
    }
    g_wave_in = device;
    g_block_event = event;
    g_capture_open = true;
}

int32_t capture_listen(int32_t source) { return source == LISTEN_INPUT ? 0 : 1; }

// The worker hands the blocks over; the tick has no share in it.
void capture_tick() {}

void capture_set_block_handler(BlockHandler handler) {
    g_block_handler.store(handler, std::memory_order_relaxed);
}

void capture_start() {
    // Once running, or once a worker exists, a second start would make a
    // second worker: it does nothing.
    if (!g_capture_open || g_capture_running.load(std::memory_order_relaxed) || g_worker_thread != nullptr)
        return;
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) {
        if (wave_in_prepare_header(g_wave_in, g_headers[i]) != 0) return;
        if (wave_in_add_buffer(g_wave_in, g_headers[i]) != 0) return;
    }
    g_capture_running.store(true, std::memory_order_relaxed);  // the thread's creation publishes it
    RingThread thread = ring_thread_create(capture_worker);
    if (thread == nullptr) return;
    g_worker_thread = thread;
    ring_thread_raise_priority(g_worker_thread);
    wave_in_start(g_wave_in);
}

void capture_stop() {
    if (!g_capture_open || !g_capture_running.load(std::memory_order_relaxed)) return;
    if (wave_in_stop(g_wave_in) == 0) g_capture_running.store(false, std::memory_order_relaxed);
}

void capture_close() {
    if (g_capture_running.load(std::memory_order_relaxed)) capture_stop();
    if (g_worker_thread != nullptr) {
        // The quit flag is stored before the event is set and read after the
        // worker's wait returns: the event orders the two. A worker in the
        // middle of a block finishes it and then leaves at its next check.
        g_worker_quit.store(true, std::memory_order_relaxed);
        ring_event_set(g_block_event);
        ring_thread_join(g_worker_thread);
        ring_thread_release(g_worker_thread);
        g_worker_thread = nullptr;
    }
    bool device_closed = true;
    if (g_capture_open) {
        wave_in_reset(g_wave_in);  // every queued buffer comes back
        for (WaveHeader* header : g_headers) wave_in_unprepare_header(g_wave_in, header);
        device_closed = wave_in_close(g_wave_in) == 0;
        // A device that is still open may still call back: its event stays.
        if (device_closed) ring_event_destroy(g_block_event);
        g_block_event = nullptr;
        g_wave_in = nullptr;
    }
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) capture_drop_entry(i, device_closed);
    g_capture_open = false;
    g_capture_running.store(false, std::memory_order_relaxed);
    g_block_handler.store(nullptr, std::memory_order_relaxed);
}

void wave_in_callback(WaveInHandle, uint32_t message, uintptr_t, uintptr_t param1, uintptr_t) {
    if (message != WIM_DATA) return;
    WaveHeader* header = reinterpret_cast<WaveHeader*>(param1);
    int entry = capture_entry_of(header);
    if (entry >= 0) {
        uint64_t number = g_completions.fetch_add(1, std::memory_order_relaxed) + 1;
        g_completion[entry].store(number, std::memory_order_release);
    }
    g_done_header.store(header, std::memory_order_release);
    ring_event_set(g_block_event);
}

uint32_t capture_worker(void*) {
    if (!g_capture_running.load(std::memory_order_relaxed)) return 0;
    for (;;) {
        ring_event_wait(g_block_event);
        if (g_worker_quit.load(std::memory_order_relaxed)) return 0;  // woken for the end
        capture_take_through(g_done_header.load(std::memory_order_acquire));
        if (!g_capture_running.load(std::memory_order_relaxed)) return 0;
    }
}

bool capture_is_open() { return g_capture_open; }
bool capture_is_running() { return g_capture_running.load(std::memory_order_relaxed); }
WaveHeader* capture_header(int index) {
    return index >= 0 && index < CAPTURE_BUFFERS ? g_headers[index] : nullptr;
}
