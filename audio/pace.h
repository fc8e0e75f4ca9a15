// How long the Linux capture thread naps while the sound it needs is still
// on its way. A sound server hands captured sound over in deliveries of one
// graph cycle (PipeWire: its quantum, 1,882 frames at 44.1 kHz when the graph
// runs 2,048 frames at 48 kHz), and its ALSA plugin may keep the descriptor
// ready between them, so the descriptor cannot say when a block is complete.
// The pace learns the size of a delivery from what arrives between looks and,
// from the frames the server has captured since its last delivery (the PCM's
// delay beyond what is available), sleeps until just after the delivery that
// completes the block: one wake-up a delivery. Plain arithmetic on frame
// counts, so that the tests can play a server at it.
#pragma once
#include <cstdint>

struct Pace {
    uint32_t rate;       // frames a second
    int64_t longest_ns;  // no nap is longer
    int64_t quantum;     // frames a delivery brings, learned; 0 while unknown
    int64_t seen;        // frames available at the last look, less those read since; -1: no look yet
    int64_t floor_ns;    // the shortest next nap; grows while naps find nothing new
};

// A nap ends this long after the delivery it waits for is due (deliveries
// come within about half a millisecond of their time), and is never shorter.
constexpr int64_t PACE_MARGIN_NS = 1000000;
constexpr int64_t PACE_SHORTEST_NS = 1000000;

// Forgets what was learned: at the start of the stream and after a restart
// (the first delivery after either may be partial).
void pace_reset(Pace* pace, uint32_t rate, int64_t longest_ns);
// A look at the PCM found `available` frames; learns from what came since.
void pace_look(Pace* pace, int64_t available);
// `frames` were read.
void pace_took(Pace* pace, int64_t frames);
// How long to nap before looking again, when `needed` frames complete the
// buffer and only `available` are in; `pending` is what the server has
// captured but not yet delivered (0 when unknown).
int64_t pace_nap_ns(Pace* pace, int64_t needed, int64_t available, int64_t pending);
