// The monotonic clock of the Linux threads that keep a grid of deadlines:
// clock_gettime and an absolute clock_nanosleep, resumed after a signal.
#include "base/monotonic_clock_linux.h"

#include <time.h>

#include <cerrno>

namespace {
constexpr int64_t NANOSECONDS_PER_SECOND = 1000000000;
}  // namespace

int64_t monotonic_now_ns() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * NANOSECONDS_PER_SECOND + now.tv_nsec;
}

void monotonic_sleep_until(int64_t deadline_ns) {
    timespec at{static_cast<time_t>(deadline_ns / NANOSECONDS_PER_SECOND),
                static_cast<long>(deadline_ns % NANOSECONDS_PER_SECOND)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

int64_t monotonic_next_deadline(int64_t deadline, int64_t period_ns, int64_t now_ns) {
    int64_t late = now_ns - deadline;
    if (late >= period_ns) deadline += late / period_ns * period_ns;  // skip the missed deadlines
    return deadline + period_ns;
}
