// The periodic timer that drives the meter every 10 ms. One implementation per
// platform (the multimedia timer on Windows, a clock_nanosleep thread on
// Linux); the tests run ticks by hand.
#pragma once
#include <cstdint>

typedef void (*TickCallback)(uint32_t timer_id, uint32_t message, uintptr_t user, uintptr_t reserved1,
                             uintptr_t reserved2);

// Starts a periodic timer; returns its identifier, 0 when it cannot be created.
uint32_t tick_timer_start(uint32_t delay_ms, uint32_t resolution_ms, TickCallback callback);
// Cancels it. A tick already running may still be finishing when this returns.
void tick_timer_cancel(uint32_t timer_id);
// Gives up the rest of the thread's time slice (used while waiting for a tick to finish).
void tick_timer_yield();
