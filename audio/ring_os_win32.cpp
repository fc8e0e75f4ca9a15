// The capture ring's operating-system pieces on Windows: an auto-reset kernel
// event, the worker as a kernel thread raised to the highest normal priority,
// and movable, zero-filled, shareable global memory held locked for its whole
// life, so that the block stays at one address.
#include "audio/ring_os.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// The worker's entry. There is one worker, and this is set before its thread
// exists, which the thread's creation orders.
RingThreadEntry g_thread_entry;

DWORD WINAPI ring_thread_trampoline(LPVOID parameter) { return g_thread_entry(parameter); }

// Windows 95, 98 and Me create no thread without a place for its id.
DWORD g_thread_id;

constexpr UINT RING_MEMORY_FLAGS = 0x2042;  // GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE

}  // namespace

RingEvent ring_event_create() { return CreateEventA(NULL, FALSE, FALSE, NULL); }

void ring_event_set(RingEvent event) { SetEvent(event); }

void ring_event_wait(RingEvent event) { WaitForSingleObject(event, INFINITE); }

void ring_event_destroy(RingEvent event) {
    if (event != NULL) CloseHandle(event);
}

RingThread ring_thread_create(RingThreadEntry entry) {
    g_thread_entry = entry;
    return CreateThread(NULL, 0, ring_thread_trampoline, NULL, 0, &g_thread_id);
}

void ring_thread_raise_priority(RingThread thread) { SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST); }

void ring_thread_join(RingThread thread) { WaitForSingleObject(thread, INFINITE); }

void ring_thread_release(RingThread thread) { CloseHandle(thread); }

RingMemory ring_memory_alloc(uint32_t bytes) { return GlobalAlloc(RING_MEMORY_FLAGS, bytes); }

void* ring_memory_lock(RingMemory memory) { return GlobalLock(memory); }

void ring_memory_release(RingMemory memory) {
    GlobalUnlock(memory);
    GlobalFree(memory);
}
