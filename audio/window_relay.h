// Sound on its way from the thread that records it to the tick that analyses
// it (the Linux edition). The recording side appends mono samples in whatever
// pieces the sound system delivers; at each tick the analysing side takes a
// window of the newest 1,024 samples, ending at the last sample delivered,
// when any came since its last take. A window holds contiguous sound only:
// after a gap (an overrun, a new stream, a lost or switched input) the next
// window waits until 1,024 samples have come after it. Neither side ever
// waits for the other, takes a lock or allocates. A silent window can be
// requested from any thread: the next take gives it first, so the display
// falls to dark as it would in silence (used when the input is lost, and when
// the program switches to another source).
#pragma once
#include <cstdint>

#include "audio/wave_header.h"

constexpr uint32_t RELAY_WINDOW_SAMPLES = 1024;  // 2,048 bytes, 23.2 ms at 44,100 Hz

// Recording side, one thread at a time: appends `count` samples, any number.
void relay_append(const int16_t* samples, uint32_t count);

// Any thread: a gap in the sound; the next window holds only samples appended
// after it.
void relay_restart();

// Analysing side, one thread. The silent window when one was requested, else
// the newest 1,024 contiguous samples when samples came since the last take,
// else null. The header (its buffer is exactly the window) and the samples
// stay valid until the next take.
WaveHeader* relay_take();

// Any thread: the next take gives a silent window first, and nothing recorded
// before the request is shown after it (a restart as well).
void relay_request_silence();

// Back to the start: nothing recorded, no silence requested. Only while
// neither side runs (start-up, tests).
void relay_reset();
