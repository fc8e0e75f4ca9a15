// The periodic tick on Linux: one thread that sleeps to absolute deadlines on
// the monotonic clock, so the period does not drift with the time the
// callback takes. A tick that comes too late to meet the next deadline skips
// ahead to the next one in the grid instead of firing a burst of catch-up
// ticks. The thread runs at real-time priority (SCHED_FIFO, above the capture
// worker) where the system allows it, and at normal priority otherwise.
// Cancelling joins the thread, so no tick runs once tick_timer_cancel returns.
#include <pthread.h>
#include <sched.h>

#include <atomic>

#include "base/monotonic_clock_linux.h"
#include "app/tick_timer.h"

namespace {

constexpr int TICK_FIFO_PRIORITY = 2;  // above the capture worker's 1

struct TickTimer {
    pthread_t thread;
    TickCallback callback;
    uint32_t id;
    int64_t period_ns;
    bool active;  // UI thread only
};

TickTimer g_timer;
uint32_t g_last_id;
std::atomic<bool> g_cancelled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "cancel flag must be lock-free");

void* tick_thread(void*) {
    pthread_setname_np(pthread_self(), "sonabar-tick");  // for top, perf and the measurements
    sched_param param{};
    param.sched_priority = TICK_FIFO_PRIORITY;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);  // refused without privilege

    const int64_t period = g_timer.period_ns;
    int64_t deadline = monotonic_now_ns() + period;
    for (;;) {
        monotonic_sleep_until(deadline);
        if (g_cancelled.load(std::memory_order_relaxed)) return nullptr;
        g_timer.callback(g_timer.id, 0, 0, 0, 0);
        deadline = monotonic_next_deadline(deadline, period, monotonic_now_ns());
    }
}

}  // namespace

uint32_t tick_timer_start(uint32_t delay_ms, uint32_t, TickCallback callback) {
    if (g_timer.active || callback == nullptr || delay_ms == 0) return 0;
    g_timer.callback = callback;
    g_timer.period_ns = static_cast<int64_t>(delay_ms) * 1000000;
    if (++g_last_id == 0) g_last_id = 1;  // 0 means failure
    g_timer.id = g_last_id;
    g_cancelled.store(false, std::memory_order_relaxed);
    // The thread reads g_timer only after pthread_create, which orders these writes before it.
    if (pthread_create(&g_timer.thread, nullptr, tick_thread, nullptr) != 0) return 0;
    g_timer.active = true;
    return g_timer.id;
}

void tick_timer_cancel(uint32_t timer_id) {
    if (!g_timer.active || timer_id != g_timer.id) return;
    g_cancelled.store(true, std::memory_order_relaxed);
    pthread_join(g_timer.thread, nullptr);
    g_timer.active = false;
}

void tick_timer_yield() { sched_yield(); }
