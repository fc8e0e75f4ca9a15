// The capture thread's naps between deliveries of a sound server (see
// pace.h). While the size of a delivery is unknown the thread naps half as
// long as sound has been pending, so that no two deliveries can fall between
// two looks and the first one it learns is a single delivery; once known, a
// smaller delivery lowers it at once and larger steps (two deliveries between
// looks) leave it, and sound pending for half a delivery longer than one
// delivery means the server has changed its pace, or stopped: the size is
// learned again. Naps that find nothing new grow by half each time up to the
// longest, so a server that stops delivering costs a few wake-ups a second.
#include "audio/pace.h"

namespace {

constexpr int64_t NANOSECONDS_PER_SECOND = 1000000000;

int64_t pace_frames_ns(const Pace* pace, int64_t frames) {
    return frames * NANOSECONDS_PER_SECOND / pace->rate;
}

}  // namespace

void pace_reset(Pace* pace, uint32_t rate, int64_t longest_ns) {
    pace->rate = rate > 0 ? rate : 1;
    pace->longest_ns = longest_ns > PACE_SHORTEST_NS ? longest_ns : PACE_SHORTEST_NS;
    pace->quantum = 0;
    pace->seen = -1;
    pace->floor_ns = PACE_SHORTEST_NS;
}

void pace_look(Pace* pace, int64_t available) {
    if (available < 0) available = 0;
    if (pace->seen < 0) {
        // The first sound after a reset is the reference, not a delivery to learn from.
        if (available > 0) pace->seen = available;
        return;
    }
    int64_t came = available - pace->seen;
    pace->seen = available;
    if (came <= 0) return;
    if (pace->quantum == 0 || came < pace->quantum) pace->quantum = came;
    pace->floor_ns = PACE_SHORTEST_NS;
}

void pace_took(Pace* pace, int64_t frames) {
    if (pace->seen >= 0) pace->seen -= frames;
}

int64_t pace_nap_ns(Pace* pace, int64_t needed, int64_t available, int64_t pending) {
    if (pending < 0) pending = 0;
    if (pace->quantum > 0 && pending > pace->quantum + pace->quantum / 2) pace->quantum = 0;
    int64_t nap;
    if (pace->quantum > 0) {
        // The deliveries still to come before the buffer is complete, the
        // first of them due when a whole delivery is pending. Deliveries vary
        // by a frame or so (1,881 or 1,882 where the server resamples): one
        // that may just do is waited for, as waking once more costs less than
        // sleeping through a delivery that completed the block.
        int64_t missing = needed - available - pace->quantum / 64;
        int64_t deliveries = missing > 0 ? (missing + pace->quantum - 1) / pace->quantum : 1;
        nap = pace_frames_ns(pace, deliveries * pace->quantum - pending) + PACE_MARGIN_NS;
    } else {
        nap = pace_frames_ns(pace, pending / 2);
    }
    if (nap < pace->floor_ns) nap = pace->floor_ns;
    if (nap > pace->longest_ns) nap = pace->longest_ns;
    // The floor of the nap after this one, should this one find nothing new.
    pace->floor_ns += pace->floor_ns / 2;
    if (pace->floor_ns > pace->longest_ns) pace->floor_ns = pace->longest_ns;
    return nap;
}
