// Interim stand-ins for the capture ring's Windows seams (wave input device,
// event, worker thread, block memory) so that the Windows program links before
// the real ones land. They report "no input device": the ring never opens and
// the program runs on with a dark display. Remove this file when
// audio/wave_in_win32.cpp and audio/ring_os_win32.cpp arrive.
#include "audio/ring_os.h"
#include "audio/wave_in.h"

namespace {
constexpr int NO_DEVICE = 2;  // the platform's "bad device id"
}

int wave_in_open(WaveInHandle* device, const WaveFormat*, WaveInCallback, uintptr_t) {
    *device = nullptr;
    return NO_DEVICE;
}
int wave_in_prepare_header(WaveInHandle, WaveHeader*) { return NO_DEVICE; }
int wave_in_add_buffer(WaveInHandle, WaveHeader*) { return NO_DEVICE; }
int wave_in_start(WaveInHandle) { return NO_DEVICE; }
int wave_in_stop(WaveInHandle) { return NO_DEVICE; }
int wave_in_reset(WaveInHandle) { return NO_DEVICE; }
int wave_in_unprepare_header(WaveInHandle, WaveHeader*) { return NO_DEVICE; }
int wave_in_close(WaveInHandle) { return NO_DEVICE; }

RingEvent ring_event_create() { return nullptr; }
void ring_event_set(RingEvent) {}
void ring_event_wait(RingEvent) {}
void ring_event_destroy(RingEvent) {}
RingThread ring_thread_create(RingThreadEntry) { return nullptr; }
void ring_thread_raise_priority(RingThread) {}
void ring_thread_join(RingThread) {}
void ring_thread_release(RingThread) {}
RingMemory ring_memory_alloc(uint32_t) { return nullptr; }
void* ring_memory_lock(RingMemory) { return nullptr; }
void ring_memory_release(RingMemory) {}
