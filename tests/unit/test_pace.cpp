// The capture thread's naps: what it learns of a server's deliveries (not the
// first after a reset, not two at once, a smaller one at once), how long it
// naps, and, against a played server that delivers the 2,048-frame cycles of
// a 48 kHz graph to a 44.1 kHz stream with jitter, that a block is read about
// a millisecond after the delivery that completes it with about one wake-up
// a block, and that a server that stops costs few wake-ups.
#include <gtest/gtest.h>

#include <cstdint>

#include "audio/pace.h"

namespace {

constexpr uint32_t RATE = 44100;
constexpr int64_t LONGEST_NS = 93000000;  // two periods of 2,048 frames
constexpr int64_t BLOCK = 2048;
constexpr int64_t SECOND = 1000000000;

int64_t frames_ns(int64_t frames) { return frames * SECOND / RATE; }

TEST(Pace, LearnsTheSizeOfOneDelivery) {
    Pace pace;
    pace_reset(&pace, RATE, LONGEST_NS);
    pace_look(&pace, 0);
    pace_look(&pace, 3734);  // the first sound: partial deliveries, or several
    pace_took(&pace, BLOCK);
    pace_look(&pace, 1686);  // nothing new
    EXPECT_EQ(pace.quantum, 0);
    pace_look(&pace, 1686 + 1882);
    EXPECT_EQ(pace.quantum, 1882);
    pace_took(&pace, BLOCK);
    pace_look(&pace, 1520 + 2 * 1882);  // two deliveries between looks
    EXPECT_EQ(pace.quantum, 1882);
    pace_look(&pace, 1520 + 2 * 1882 + 1881);
    EXPECT_EQ(pace.quantum, 1881);
}

TEST(Pace, NapsUntilTheDeliveryThatCompletesTheBlock) {
    Pace pace;
    pace_reset(&pace, RATE, LONGEST_NS);
    pace.quantum = 1882;
    pace.seen = 1686;
    // One delivery completes it, 100 frames of which are captured already;
    // then two are needed: one nap over both.
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 1686, 100), frames_ns(1782) + PACE_MARGIN_NS);
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 100, 100), frames_ns(2 * 1882 - 100) + PACE_MARGIN_NS);
    // A delivery overdue: the floor, which those two naps (no look found
    // anything new after them) have raised by half twice, and keep raising.
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 1686, 1900), PACE_SHORTEST_NS * 9 / 4);
    pace_look(&pace, 1686 + 1882);  // a delivery: back to the shortest
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 1686, 1900), PACE_SHORTEST_NS);
    // Half a delivery overdue: the size is learned again, naps last half the
    // time sound has been pending, and none is longer than the longest.
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 0, 1882 + 942), frames_ns((1882 + 942) / 2));
    EXPECT_EQ(pace.quantum, 0);
    EXPECT_EQ(pace_nap_ns(&pace, BLOCK, 0, RATE), LONGEST_NS);
}

// Deliveries of 1,881 or 1,882 frames (2,048 at 48 kHz) every 42.7 ms, each
// up to 0.4 ms late, until `stop_ns`.
struct PlayedServer {
    int64_t cycle_ns = 2048 * SECOND / 48000;
    int64_t stop_ns = INT64_MAX;

    int64_t delivery_time(int64_t k) { return k * cycle_ns + (k * 2654435761LL) % 400000; }
    int64_t deliveries_by(int64_t t) {
        int64_t k = t / cycle_ns;
        if (delivery_time(k) > t) --k;
        int64_t last = stop_ns / cycle_ns;
        return k < last ? k : last;
    }
    int64_t delivered_by(int64_t t) { return deliveries_by(t) * 2048 * 44100 / 48000; }
};

struct Tally {
    int wakes = 0;
    int blocks = 0;
    int64_t worst_lag_ns = 0;  // from the delivery that completed a block to its read
};

// Plays the server to a reader as the capture thread reads: look, read a
// block when it is in, otherwise nap. Counts from `from_ns` to `until_ns`.
Tally play(PlayedServer& server, Pace& pace, int64_t& t, int64_t& read, int64_t from_ns, int64_t until_ns) {
    Tally tally;
    while (t < until_ns) {
        int64_t available = server.delivered_by(t) - read;
        pace_look(&pace, available);
        if (available < BLOCK) {
            int64_t pending = t * RATE / SECOND - server.delivered_by(t);
            t += pace_nap_ns(&pace, BLOCK, available, pending);
            if (t >= from_ns) ++tally.wakes;
            continue;
        }
        read += BLOCK;
        pace_took(&pace, BLOCK);
        if (t < from_ns) continue;
        ++tally.blocks;
        int64_t completing = server.deliveries_by(t);
        while (server.delivered_by(server.delivery_time(completing - 1)) >= read) --completing;
        if (t - server.delivery_time(completing) > tally.worst_lag_ns) {
            tally.worst_lag_ns = t - server.delivery_time(completing);
        }
    }
    return tally;
}

TEST(Pace, AboutOneWakeUpABlockAMillisecondAfterItsDelivery) {
    PlayedServer server;
    Pace pace;
    pace_reset(&pace, RATE, LONGEST_NS);
    int64_t t = 0, read = 0;
    Tally run = play(server, pace, t, read, SECOND, 61 * SECOND);
    EXPECT_GE(run.blocks, 1290);  // 60 s: 1,292 blocks in 1,406 deliveries
    EXPECT_LE(run.wakes, run.blocks + run.blocks / 20);
    EXPECT_LE(run.worst_lag_ns, PACE_MARGIN_NS + 100000);

    server.stop_ns = t;  // naps grow to the longest
    Tally stopped = play(server, pace, t, read, t + SECOND, t + 10 * SECOND);
    EXPECT_EQ(stopped.blocks, 0);
    EXPECT_LE(stopped.wakes, 9 * 12);
}

}  // namespace
