// The capture thread's naps: what it learns of a server's deliveries (not the
// first after a reset, not two at once, a smaller one at once), how long it
// naps with and without that knowledge, how naps that find nothing grow to
// the longest, and, against a played server that delivers 2,048 frames of a
// 48 kHz graph to a 44.1 kHz stream with some jitter, that blocks come about
// a millisecond after their sound with about one wake-up a delivery, and
// that a server that stops costs few wake-ups.
#include <gtest/gtest.h>

#include <cstdint>

#include "audio/pace.h"

namespace {

constexpr uint32_t RATE = 44100;
constexpr int64_t LONGEST_NS = 93000000;  // two periods of 2,048 frames
constexpr int64_t BLOCK = 2048;

int64_t frames_ns(int64_t frames) { return frames * 1000000000 / RATE; }

TEST(Pace, LearnsTheSizeOfOneDelivery) {
    Pace pace;
    pace_reset(&pace, RATE, LONGEST_NS);
    pace_look(&pace, 0);
    pace_look(&pace, 3734);  // the first sound: partial deliveries, or several
    EXPECT_EQ(pace.quantum, 0);
    pace_took(&pace, BLOCK);
    pace_look(&pace, 1686);  // nothing new
    EXPECT_EQ(pace.quantum, 0);
    pace_look(&pace, 1686 + 1882);
    EXPECT_EQ(pace.quantum, 1882);
    pace_took(&pace, BLOCK);
    pace_look(&pace, 1520 + 2 * 1882);  // two deliveries between looks
    EXPECT_EQ(pace.quantum, 1882);
    pace_look(&pace, 1520 + 2 * 1882 + 1881);
    EXPECT_EQ(pace.quantum, 1881);  // smaller: at once
    pace_reset(&pace, RATE, LONGEST_NS);
    EXPECT_EQ(pace.quantum, 0);
}

TEST(Pace, NapsUntilTheDeliveryThatCompletesTheBlockThenGrowsToTheLongest) {
    Pace pace;
    pace_reset(&pace, RATE, LONGEST_NS);
    pace.quantum = 1882;
    pace.seen = 1686;
    // One delivery completes it; 100 frames of it are captured already.
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 1686, 100), frames_ns(1782) + PACE_MARGIN_NS);
    pace_look(&pace, 1686 + 1882);
    // Two deliveries are needed: one nap over both.
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 100, 100), frames_ns(2 * 1882 - 100) + PACE_MARGIN_NS);
    pace_look(&pace, 1686 + 2 * 1882);  // the floor is back at its least
    // A delivery overdue: short naps, half as long again each time nothing
    // came, up to the longest.
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 1686, 1900), PACE_SHORTEST_NS);
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 1686, 1950), PACE_SHORTEST_NS * 3 / 2);
    int64_t nap = 0;
    for (int i = 0; i < 20; ++i) nap = pace_nap_ns(&pace, BLOCK, 1686, 2000);
    EXPECT_EQ(nap, LONGEST_NS);
    pace_look(&pace, 1686 + 3 * 1882);
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 1686, 1900), PACE_SHORTEST_NS);
}

TEST(Pace, LearnsAgainWhenDeliveriesStopOrGrow) {
    Pace pace;
    pace_reset(&pace, RATE, LONGEST_NS);
    pace.quantum = 1882;
    // Half a delivery more than one pending: the size is forgotten; until it
    // is learned again, naps last half the time sound has been pending.
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 0, 1882 + 942), frames_ns((1882 + 942) / 2));
    EXPECT_EQ(pace.quantum, 0);
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 0, 100), PACE_SHORTEST_NS * 3 / 2);  // the floor has grown
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 0, 44100), LONGEST_NS);
}

// A server delivering the sound of each 2,048-frame cycle of a 48 kHz graph,
// resampled to 44.1 kHz (1,881.6 frames, so 1,881 or 1,882 a delivery), each
// up to 0.4 ms late, to a capture thread that reads 2,048-frame blocks.
struct PlayedServer {
    int64_t cycle_ns = 2048LL * 1000000000 / 48000;
    int64_t start_ns = 3000000;
    int64_t stop_ns = INT64_MAX;  // no deliveries from then on
    uint32_t jitter_state = 12345;

    int64_t jitter_ns(int64_t cycle) {
        uint32_t x = static_cast<uint32_t>(cycle) * 2654435761u ^ jitter_state;
        return static_cast<int64_t>(x % 400000);
    }
    int64_t deliveries_by(int64_t t) {
        if (t < start_ns) return 0;
        int64_t k = (t - start_ns) / cycle_ns;
        if (k > 0 && start_ns + k * cycle_ns + jitter_ns(k) > t) --k;
        int64_t last = (stop_ns - start_ns) / cycle_ns;
        return k < last ? k : last;
    }
    int64_t delivered_by(int64_t t) { return deliveries_by(t) * 2048 * 44100 / 48000; }
    int64_t captured_by(int64_t t) { return t < start_ns ? 0 : (t - start_ns) * RATE / 1000000000; }
    int64_t delivery_time(int64_t k) { return start_ns + k * cycle_ns + jitter_ns(k); }
};

struct Tally {
    int wakes = 0;
    int blocks = 0;
    int64_t worst_lag_ns = 0;  // from the delivery that completed a block to its read
};

// Plays `server` to a reader from `from_ns` to `until_ns`, as the capture
// thread does: look, read a whole block when it is in, otherwise nap.
Tally play(PlayedServer& server, Pace& pace, int64_t& t, int64_t& read, int64_t until_ns,
           int64_t measure_from_ns) {
    Tally run;
    while (t < until_ns) {
        int64_t available = server.delivered_by(t) - read;
        pace_look(&pace, available);
        if (available >= BLOCK) {
            read += BLOCK;
            pace_took(&pace, BLOCK);
            if (t >= measure_from_ns) {
                ++run.blocks;
                // The delivery that completed the block: the first after which it was in.
                int64_t completing = server.deliveries_by(t);
                while (completing > 1 &&
                       server.delivered_by(server.delivery_time(completing - 1)) >= read) {
                    --completing;
                }
                int64_t lag = t - server.delivery_time(completing);
                if (lag > run.worst_lag_ns) run.worst_lag_ns = lag;
            }
            continue;
        }
        int64_t pending = server.captured_by(t) - server.delivered_by(t);
        t += pace_nap_ns(&pace, BLOCK, available, pending);
        if (t >= measure_from_ns) ++run.wakes;
    }
    return run;
}

TEST(Pace, OneWakeUpADeliveryAMillisecondAfterTheSound) {
    PlayedServer server;
    Pace pace;
    pace_reset(&pace, RATE, LONGEST_NS);
    int64_t t = 0, read = 0;
    const int64_t second = 1000000000;
    Tally run = play(server, pace, t, read, 61 * second, 1 * second);
    // 60 s: 1,406 deliveries, 1,292 blocks.
    EXPECT_GE(run.blocks, 1290);
    EXPECT_LE(run.wakes, run.blocks + run.blocks / 20);  // fewer than one a delivery
    EXPECT_LE(run.worst_lag_ns, PACE_MARGIN_NS + 100000);

    // The server stops: naps grow to the longest.
    server.stop_ns = t;
    Tally stopped = play(server, pace, t, read, t + 10 * second, t + second);
    EXPECT_EQ(stopped.blocks, 0);
    EXPECT_LE(stopped.wakes, 9 * 12);
}

}  // namespace
