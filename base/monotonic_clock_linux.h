// Time on the monotonic clock for the Linux threads that keep a fixed grid of
// deadlines (the 10 ms tick and the preview's drawing): the time now, a sleep
// to an absolute deadline that signals do not cut short, and the grid's next
// deadline, which skips the ones a late thread has already missed. Sleeping to
// absolute deadlines keeps the period from drifting with the work done per
// wake-up.
#pragma once
#include <cstdint>

// Nanoseconds on the monotonic clock.
int64_t monotonic_now_ns();

// Sleeps until the monotonic clock reaches `deadline_ns`; returns at once when it has.
void monotonic_sleep_until(int64_t deadline_ns);

// The deadline after `deadline` on a grid of `period_ns`, as seen at `now_ns`:
// the next one, or, when `now_ns` is already a period or more past `deadline`,
// the first one still ahead, so a late thread skips the missed deadlines
// rather than firing a burst of catch-up wake-ups.
int64_t monotonic_next_deadline(int64_t deadline, int64_t period_ns, int64_t now_ns);
