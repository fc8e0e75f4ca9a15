// The scripted wave input device behind fake_wave_in.h. A mutex keeps its
// queue consistent between the test thread, the controlling thread and the
// capture worker; the callback is made outside the lock, as a real device
// makes it on its own thread. Callbacks in flight are counted, so that reset
// and close return only after every callback they or a completion started has
// finished, which is what a real device guarantees.
#include "tests/fakes/fake_wave_in.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "audio/wave_in.h"
#include "tests/fakes/fake_log.h"

FakeWaveScript g_fake_wave;

namespace {
std::mutex g_mutex;
std::condition_variable g_changed;  // an add, or a callback finished
constexpr int QUEUE_CAPACITY = 64;
WaveHeader* g_queue[QUEUE_CAPACITY];
int g_queue_length = 0;
bool g_open = false;
bool g_started = false;
int g_in_flight = 0;  // callbacks being made now
WaveInCallback g_callback = nullptr;
uintptr_t g_instance = 0;
WaveFormat g_format;
int g_prepares = 0;
int g_adds = 0;
int64_t g_total_adds = 0;
int g_prepared = 0;
WaveInHandle const DEVICE = reinterpret_cast<WaveInHandle>(0x5EED);
constexpr std::chrono::seconds HANG_GUARD{20};

void fake_wave_log(const char* what, const void* header = nullptr) {
    if (g_fake_wave.log_calls) fake_log(what, reinterpret_cast<intptr_t>(header));
}

// Takes the first queued buffer for a callback; the caller holds the lock.
WaveHeader* fake_wave_pop_locked() {
    if (g_queue_length == 0) return nullptr;
    WaveHeader* h = g_queue[0];
    for (int i = 1; i < g_queue_length; ++i) g_queue[i - 1] = g_queue[i];
    --g_queue_length;
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    ++g_in_flight;
    return h;
}

// Reports a popped buffer through the callback, outside the lock.
void fake_wave_deliver(WaveHeader* h, uint32_t bytes) {
    h->dwBytesRecorded = bytes;
    g_callback(DEVICE, WIM_DATA, g_instance, reinterpret_cast<uintptr_t>(h), 0);
    std::lock_guard<std::mutex> lock(g_mutex);
    --g_in_flight;
    g_changed.notify_all();
}

void fake_wave_wait_callbacks(std::unique_lock<std::mutex>& lock) {
    g_changed.wait_for(lock, HANG_GUARD, [] { return g_in_flight == 0; });
}
}  // namespace

void fake_wave_reset() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_fake_wave = FakeWaveScript{};
    g_queue_length = 0;
    g_open = g_started = false;
    g_in_flight = 0;
    g_callback = nullptr;
    g_format = WaveFormat{};
    g_prepares = g_adds = g_prepared = 0;
    g_total_adds = 0;
}

int fake_wave_complete(int count, int16_t sample) {
    int done = 0;
    while (done < count) {
        WaveHeader* h;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            if (!g_started) break;
            h = fake_wave_pop_locked();
        }
        if (h == nullptr) break;
        int16_t* samples = reinterpret_cast<int16_t*>(h->lpData);
        for (uint32_t i = 0; i < h->dwBufferLength / 2; ++i) samples[i] = sample;
        fake_wave_deliver(h, h->dwBufferLength);
        ++done;
    }
    return done;
}

void fake_wave_notice(uint32_t message, uintptr_t param1) {
    g_callback(DEVICE, message, g_instance, param1, 0);
}

int fake_wave_queued() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_queue_length;
}

bool fake_wave_holds(const WaveHeader* header) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (int i = 0; i < g_queue_length; ++i) {
        if (g_queue[i] == header) return true;
    }
    return false;
}

int fake_wave_prepared() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_prepared;
}

int64_t fake_wave_adds() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_total_adds;
}

bool fake_wave_wait_adds(int64_t adds) {
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_changed.wait_for(lock, HANG_GUARD, [adds] { return g_total_adds >= adds; });
}

bool fake_wave_is_open() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_open;
}

WaveFormat fake_wave_format() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_format;
}

bool fake_wave_is_started() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_started;
}

int wave_in_open(WaveInHandle* device, const WaveFormat* format, WaveInCallback callback,
                 uintptr_t instance) {
    fake_wave_log("wave_open");
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_format = *format;
    }
    if (g_fake_wave.open_result != 0) return g_fake_wave.open_result;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_open = true;
        g_callback = callback;
        g_instance = instance;
    }
    *device = DEVICE;
    callback(DEVICE, WIM_OPEN, instance, 0, 0);
    return 0;
}

int wave_in_prepare_header(WaveInHandle, WaveHeader* header) {
    fake_wave_log("wave_prepare", header);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_prepares++ == g_fake_wave.fail_prepare_at) return 11;
    if ((header->dwFlags & WHDR_PREPARED) == 0) ++g_prepared;
    header->dwFlags |= WHDR_PREPARED;
    return 0;
}

int wave_in_add_buffer(WaveInHandle, WaveHeader* header) {
    fake_wave_log("wave_add", header);
    WaveHeader* filled = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_adds++ == g_fake_wave.fail_add_at) return 11;
        if (g_started && g_fake_wave.refuse_requeue) return 11;
        if ((header->dwFlags & WHDR_PREPARED) == 0 || (header->dwFlags & WHDR_INQUEUE) != 0) return 33;
        if (g_queue_length == QUEUE_CAPACITY) return 7;
        header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        g_queue[g_queue_length++] = header;
        ++g_total_adds;
        g_changed.notify_all();
        if (g_started && g_queue_length == 1 && g_fake_wave.fill_at_once > 0) {
            --g_fake_wave.fill_at_once;
            filled = fake_wave_pop_locked();
        }
    }
    if (filled != nullptr) fake_wave_deliver(filled, filled->dwBufferLength);
    return 0;
}

int wave_in_start(WaveInHandle) {
    fake_wave_log("wave_start");
    std::lock_guard<std::mutex> lock(g_mutex);
    g_started = true;
    return 0;
}

int wave_in_stop(WaveInHandle) {
    fake_wave_log("wave_stop");
    if (g_fake_wave.stop_result != 0) return g_fake_wave.stop_result;
    WaveHeader* h = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        // The buffer being filled comes back part-filled.
        if (g_started && g_fake_wave.stop_hands_back) h = fake_wave_pop_locked();
        g_started = false;
    }
    if (h != nullptr) fake_wave_deliver(h, 100);
    return 0;
}

int wave_in_reset(WaveInHandle) {
    fake_wave_log("wave_reset");
    if (g_fake_wave.reset_result != 0) return g_fake_wave.reset_result;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_started = false;
    }
    for (;;) {
        WaveHeader* h;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            h = fake_wave_pop_locked();
        }
        if (h == nullptr) break;
        fake_wave_deliver(h, 0);
    }
    std::unique_lock<std::mutex> lock(g_mutex);
    fake_wave_wait_callbacks(lock);
    return 0;
}

int wave_in_unprepare_header(WaveInHandle, WaveHeader* header) {
    fake_wave_log("wave_unprepare", header);
    std::lock_guard<std::mutex> lock(g_mutex);
    if ((header->dwFlags & WHDR_INQUEUE) != 0) return 33;  // still queued
    if ((header->dwFlags & WHDR_PREPARED) != 0) --g_prepared;
    header->dwFlags &= ~WHDR_PREPARED;
    return 0;
}

int wave_in_close(WaveInHandle) {
    fake_wave_log("wave_close");
    WaveInCallback callback;
    {
        std::unique_lock<std::mutex> lock(g_mutex);
        if (g_queue_length != 0) return 33;  // buffers still queued
        fake_wave_wait_callbacks(lock);
        g_open = false;
        callback = g_callback;
    }
    callback(DEVICE, WIM_CLOSE, g_instance, 0, 0);
    return 0;
}
