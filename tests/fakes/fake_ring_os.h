// A scriptable stand-in for the capture ring's operating-system pieces, for
// the tests of allocation and creation failures and of the order in which
// close gives things back. Memory is real (zero-filled) and counted; events
// only count their sets; a "thread" is recorded but never runs on its own: a
// test runs the worker on its own thread, deciding what each wait does. Event, thread and release calls go to the
// shared call log.
#pragma once
#include <cstdint>
#include <functional>

struct FakeRingScript {
    int fail_alloc_at = -1;   // the n-th memory allocation (from 0) fails
    int fail_lock_at = -1;    // the n-th lock (from 0) fails
    bool fail_event = false;  // event creation fails
    bool fail_thread = false; // thread creation fails
};

extern FakeRingScript g_fake_ring;
// Called by every event wait with its number (from 1); the wait then returns
// as if the event had been signalled.
extern std::function<void(int)> g_fake_ring_on_wait;

// Back to the start; frees whatever memory is still allocated.
void fake_ring_reset();
int fake_ring_allocations();  // successful allocations so far
int fake_ring_live_memory();  // allocated and not yet released
int fake_ring_live_events();  // created and not yet destroyed
int fake_ring_event_sets();   // sets of any event so far
int fake_ring_threads();      // threads created so far
// Runs the last created thread's entry on the calling thread; its result.
uint32_t fake_ring_run_thread();
int fake_ring_bad_releases(); // releases of memory that was not allocated (or twice)
