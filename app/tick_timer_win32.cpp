// The 10 ms tick on Windows: a periodic multimedia timer whose callback runs on
// the timer's own thread.
#include <windows.h>
#include <mmsystem.h>

#include "app/tick_timer.h"

namespace {

// Set on the UI thread before the timer exists; only read by the timer thread.
TickCallback g_tick_callback;

void CALLBACK tick_timer_trampoline(UINT timer_id, UINT message, DWORD_PTR user, DWORD_PTR reserved1,
                                    DWORD_PTR reserved2) {
    g_tick_callback(timer_id, message, user, reserved1, reserved2);
}

}  // namespace

uint32_t tick_timer_start(uint32_t delay_ms, uint32_t resolution_ms, TickCallback callback) {
    g_tick_callback = callback;
    return timeSetEvent(delay_ms, resolution_ms, tick_timer_trampoline, 0,
                        TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
}

void tick_timer_cancel(uint32_t timer_id) { timeKillEvent(timer_id); }

// Sleep(0) rather than SwitchToThread, which the consumer line of Windows lacks.
// The timer thread runs at a higher priority and is never starved by this.
void tick_timer_yield() { Sleep(0); }
