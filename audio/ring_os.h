// The operating-system pieces the capture ring stands on: an auto-reset event,
// the worker thread, and fixed, zero-filled block memory. One implementation
// per platform; the tests use the Linux one or a fake.
#pragma once
#include <cstdint>

typedef void* RingEvent;
typedef void* RingThread;
typedef void* RingMemory;
typedef uint32_t (*RingThreadEntry)(void* parameter);

// Auto-reset, not signalled, unnamed; null when it cannot be created.
RingEvent ring_event_create();
void ring_event_set(RingEvent event);
// Waits without a time-out; returning resets the event.
void ring_event_wait(RingEvent event);
void ring_event_destroy(RingEvent event);

// Creates a thread running `entry(nullptr)` at once; null when it cannot be created.
RingThread ring_thread_create(RingThreadEntry entry);
// Raises the thread to the highest priority of a normal process.
void ring_thread_raise_priority(RingThread thread);
// Waits until the thread has returned.
void ring_thread_join(RingThread thread);
// Releases the handle (the thread itself is not affected).
void ring_thread_release(RingThread thread);

// Allocates `bytes` of zero-filled memory that stays at one address until
// released; null when it cannot be allocated.
RingMemory ring_memory_alloc(uint32_t bytes);
// The fixed address of the memory (locked for the memory's lifetime).
void* ring_memory_lock(RingMemory memory);
// Unlocks and frees the memory.
void ring_memory_release(RingMemory memory);
