// Blocks of sound on their way from the thread that records them to the one
// that analyses them (the Linux edition). The recording side appends mono
// samples in whatever pieces the sound system delivers; every 2,048 samples
// complete a block, which is published at once. The analysing side takes the
// newest complete block it has not taken yet: when it falls behind, older
// blocks are overwritten, never queued, so it never lags the sound. Three
// blocks (one being filled, one published, one being read) make this a
// lock-free triple buffer: neither side ever waits for the other, and nothing
// is allocated. A silent block can be requested from any thread: the next take
// gives it first, so the display falls to dark as it would in silence (used
// when the input is lost, and when the program switches to another source).
#pragma once
#include <cstdint>

#include "audio/wave_header.h"

constexpr uint32_t RELAY_BLOCK_SAMPLES = 2048;  // 4,096 bytes, 46.4 ms at 44,100 Hz

// Recording side, one thread at a time. Appends `count` samples; each block
// they complete is published at once.
void relay_append(const int16_t* samples, uint32_t count);
// Recording side: drops the part-filled block, so that every block holds
// contiguous sound (after a gap: an overrun, or a new stream).
void relay_restart_block();

// Analysing side, one thread. The silent block when one was requested, else
// the newest complete block not yet taken, else null. The header and its
// samples stay valid until the next take.
WaveHeader* relay_take();

// Any thread: the next take gives a silent block first. A published block
// that has not been taken yet is dropped, so that nothing recorded before the
// request is shown after it.
void relay_request_silence();

// Back to the start: no block published, none part-filled, no silence
// requested. Only while neither side runs (start-up, tests).
void relay_reset();
