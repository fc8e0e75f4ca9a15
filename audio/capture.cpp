// The capture ring. Eight buffers circulate between the wave input device and
// the worker: the device fills them in the order they were queued, its
// callback records each completed header and signals an auto-reset event, and
// the worker hands the newest completed block to the block handler and gives
// every completed buffer back to the device exactly once.
//
// The hand-off is the one slot g_done_header (the newest completed header)
// plus a small queue of every completed header in completion order. When the
// worker falls behind, the slot has moved on past buffers it never saw: those
// "displaced" buffers are still in the queue, so the worker returns them to the
// device without analysing them. The queue never holds more than the eight
// buffers, because a buffer is taken off it before it is queued at the device
// again.
//
// Orderly end: capture_close stops recording, wakes the worker for its end
// (it leaves without touching the handler or the device), waits for it, has
// the device hand back every queued buffer, unprepares all eight, closes the
// device and only then releases the memory and the event.
#include "audio/capture.h"

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

// Shared with the worker and the device's callback thread.
std::atomic<WaveHeader*> g_done_header{nullptr};
std::atomic<BlockHandler> g_block_handler{nullptr};
std::atomic<bool> g_capture_running{false};
std::atomic<bool> g_worker_quit{false};

// Completed headers in completion order: the callback claims a slot and
// publishes the header there; the worker takes from the front and clears the
// slot. Release/acquire pairs publish the header together with its samples.
std::atomic<WaveHeader*> g_completed[CAPTURE_BUFFERS];
std::atomic<uint32_t> g_completed_tail{0};
uint32_t g_completed_head;  // worker only

static_assert(std::atomic<WaveHeader*>::is_always_lock_free, "hand-off must be lock-free");
static_assert(std::atomic<uint32_t>::is_always_lock_free, "hand-off must be lock-free");

void capture_reset_hand_off() {
    for (auto& slot : g_completed) slot.store(nullptr, std::memory_order_relaxed);
    g_completed_tail.store(0, std::memory_order_relaxed);
    g_completed_head = 0;
    g_done_header.store(nullptr, std::memory_order_relaxed);
    g_worker_quit.store(false, std::memory_order_relaxed);
}

// Allocates entry i's buffer and header unless they exist already (after a
// failed open). Returns false when memory is short.
bool capture_allocate_entry(int i) {
    if (g_buffer_memory[i] == nullptr) {
        g_buffer_memory[i] = ring_memory_alloc(g_buffer_bytes);
        if (g_buffer_memory[i] == nullptr) return false;
        g_buffers[i] = static_cast<char*>(ring_memory_lock(g_buffer_memory[i]));
    }
    if (g_header_memory[i] == nullptr) {
        g_header_memory[i] = ring_memory_alloc(sizeof(WaveHeader));
        if (g_header_memory[i] == nullptr) return false;
        g_headers[i] = static_cast<WaveHeader*>(ring_memory_lock(g_header_memory[i]));
    }
    if (g_buffers[i] == nullptr || g_headers[i] == nullptr) return false;
    *g_headers[i] = WaveHeader{};
    g_headers[i]->lpData = g_buffers[i];
    g_headers[i]->dwBufferLength = g_buffer_bytes;
    return true;
}

void capture_release_entry(int i) {
    if (g_header_memory[i] != nullptr) ring_memory_release(g_header_memory[i]);
    if (g_buffer_memory[i] != nullptr) ring_memory_release(g_buffer_memory[i]);
    g_header_memory[i] = nullptr;
    g_headers[i] = nullptr;
    g_buffer_memory[i] = nullptr;
    g_buffers[i] = nullptr;
}

void capture_requeue(WaveHeader* header) {
    wave_in_unprepare_header(g_wave_in, header);
    wave_in_prepare_header(g_wave_in, header);
    wave_in_add_buffer(g_wave_in, header);
}

// Takes the completed headers up to and including `newest` off the queue:
// older ones (displaced from the slot) go straight back to the device, the
// newest reaches the handler first. A `newest` that is no longer queued was
// taken in an earlier cycle (its event fired again), and nothing is done.
void capture_take_through(WaveHeader* newest) {
    if (newest == nullptr) return;
    uint32_t count = 0;
    for (;;) {
        if (count == CAPTURE_BUFFERS) return;
        WaveHeader* h =
            g_completed[(g_completed_head + count) % CAPTURE_BUFFERS].load(std::memory_order_acquire);
        if (h == nullptr) return;
        ++count;
        if (h == newest) break;
    }
    for (uint32_t i = 0; i < count; ++i) {
        std::atomic<WaveHeader*>& slot = g_completed[g_completed_head % CAPTURE_BUFFERS];
        WaveHeader* h = slot.load(std::memory_order_relaxed);
        slot.store(nullptr, std::memory_order_relaxed);
        ++g_completed_head;
        if (h != newest) {
            capture_requeue(h);
            continue;
        }
        BlockHandler handler = g_block_handler.load(std::memory_order_relaxed);
        if (handler != nullptr) handler(h);
        capture_requeue(h);
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
    g_wave_in = device;
    g_block_event = ring_event_create();
    if (g_block_event == nullptr) {
        wave_in_close(g_wave_in);
        g_wave_in = nullptr;
        return;
    }
    g_capture_open = true;
}

void capture_set_block_handler(BlockHandler handler) {
    g_block_handler.store(handler, std::memory_order_relaxed);
}

void capture_start() {
    if (!g_capture_open) return;
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) {
        if (wave_in_prepare_header(g_wave_in, g_headers[i]) != 0) return;
        if (wave_in_add_buffer(g_wave_in, g_headers[i]) != 0) return;
    }
    g_capture_running.store(true, std::memory_order_relaxed);
    g_worker_thread = ring_thread_create(capture_worker);
    if (g_worker_thread == nullptr) return;
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
        g_worker_quit.store(true, std::memory_order_relaxed);
        ring_event_set(g_block_event);
        ring_thread_join(g_worker_thread);
        ring_thread_release(g_worker_thread);
    }
    if (g_capture_open) {
        wave_in_reset(g_wave_in);  // every queued buffer comes back
        for (WaveHeader* header : g_headers) wave_in_unprepare_header(g_wave_in, header);
        wave_in_close(g_wave_in);
        ring_event_destroy(g_block_event);
        g_block_event = nullptr;
        g_wave_in = nullptr;
    }
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) capture_release_entry(i);
    g_capture_open = false;
    g_capture_running.store(false, std::memory_order_relaxed);
    g_worker_thread = nullptr;
    g_block_handler.store(nullptr, std::memory_order_relaxed);
}

void wave_in_callback(WaveInHandle, uint32_t message, uintptr_t, uintptr_t param1, uintptr_t) {
    if (message != WIM_DATA) return;
    WaveHeader* header = reinterpret_cast<WaveHeader*>(param1);
    uint32_t slot = g_completed_tail.fetch_add(1, std::memory_order_relaxed) % CAPTURE_BUFFERS;
    g_completed[slot].store(header, std::memory_order_release);
    g_done_header.store(header, std::memory_order_release);
    ring_event_set(g_block_event);
}

uint32_t capture_worker(void*) {
    if (!g_capture_running.load(std::memory_order_relaxed)) return 0;
    for (;;) {
        ring_event_wait(g_block_event);
        if (g_worker_quit.load(std::memory_order_relaxed)) return 0;
        capture_take_through(g_done_header.load(std::memory_order_acquire));
        if (!g_capture_running.load(std::memory_order_relaxed)) return 0;
    }
}

bool capture_is_open() { return g_capture_open; }
bool capture_is_running() { return g_capture_running.load(std::memory_order_relaxed); }
WaveHeader* capture_header(int index) {
    return index >= 0 && index < CAPTURE_BUFFERS ? g_headers[index] : nullptr;
}
