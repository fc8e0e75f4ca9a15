// The Linux tick timer: it ticks, one timer runs at a time, and cancelling
// waits for the thread, so no tick runs once tick_timer_cancel has returned;
// and the grid of deadlines that it and the preview keep, late wake-ups included.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>

#include "base/monotonic_clock_linux.h"
#include "app/tick_timer.h"

namespace {

std::atomic<int> g_ticks{0};
std::atomic<bool> g_in_tick{false};

void count_tick(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t) {
    g_in_tick.store(true);
    usleep(2000);  // a tick that takes a while: cancel must wait for it
    g_ticks.fetch_add(1);
    g_in_tick.store(false);
}

void wait_for_ticks(int count) {
    for (int i = 0; i < 500 && g_ticks.load() < count; ++i) usleep(2000);
}

TEST(TickTimer, TicksUntilCancelledAndNotAfter) {
    g_ticks = 0;
    uint32_t id = tick_timer_start(10, 10, count_tick);
    ASSERT_NE(id, 0u);
    wait_for_ticks(3);
    EXPECT_GE(g_ticks.load(), 3);
    tick_timer_cancel(id);
    EXPECT_FALSE(g_in_tick.load());
    int after_cancel = g_ticks.load();
    usleep(50000);
    EXPECT_EQ(g_ticks.load(), after_cancel);
}

TEST(TickTimer, OneTimerAtATimeAndAFreshIdForTheNext) {
    g_ticks = 0;
    uint32_t first = tick_timer_start(10, 10, count_tick);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(tick_timer_start(10, 10, count_tick), 0u);
    tick_timer_cancel(first + 1);  // not this timer: it keeps ticking
    int before = g_ticks.load();
    wait_for_ticks(before + 2);
    EXPECT_GE(g_ticks.load(), before + 2);
    tick_timer_cancel(first);
    uint32_t second = tick_timer_start(10, 10, count_tick);
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, first);
    tick_timer_cancel(second);
    tick_timer_cancel(second);  // twice: nothing more happens
}

// A late wake-up keeps the grid: the next deadline stays on it, and deadlines
// already missed are skipped instead of being fired in a burst.
TEST(MonotonicClock, TheNextDeadlineStaysOnTheGridAndSkipsMissedOnes) {
    struct Case {
        int64_t now;
        int64_t next;
    } cases[] = {
        {100, 110},  // woke on time
        {109, 110},  // late, but the next deadline is still ahead
        {110, 120},  // a whole period late: that deadline is gone
        {135, 140},  // three deadlines missed
    };
    for (const Case& c : cases) EXPECT_EQ(monotonic_next_deadline(100, 10, c.now), c.next) << "now " << c.now;
    int64_t before = monotonic_now_ns();
    monotonic_sleep_until(before + 2000000);
    EXPECT_GE(monotonic_now_ns(), before + 2000000);
}

TEST(TickTimer, RefusesAZeroPeriodOrNoCallback) {
    EXPECT_EQ(tick_timer_start(0, 10, count_tick), 0u);
    EXPECT_EQ(tick_timer_start(10, 10, nullptr), 0u);
}

}  // namespace
