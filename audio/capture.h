// The capture: records the sound input from start-up to shutdown and hands
// blocks of mono 16-bit samples at 44,100 Hz to the block handler, one at a
// time; when the handler falls behind, the newest sound wins. The operations
// but capture_tick are called from the controlling (UI) thread, report
// nothing and return quietly when their state does not apply. One
// implementation per edition: the Windows edition's ring of eight buffers over
// waveIn, whose worker thread calls the handler with every completed block of
// 2,048 samples (4,096 bytes; capture.cpp); the Linux edition's recording
// through PipeWire or ALSA, which calls it on the tick with a window of the
// newest 1,024 samples (2,048 bytes) after each delivery (listen.cpp).
#pragma once
#include <cstdint>

#include "audio/wave_header.h"

void capture_open();
void capture_set_block_handler(BlockHandler handler);
void capture_start();
void capture_stop();
void capture_close();

// The capture's share of each 10 ms tick, on the tick's thread before the
// meter runs: where sound is handed over on the tick, the newest window goes
// to the block handler when samples came since the last one; elsewhere nothing.
void capture_tick();

// What the program listens to. The Windows edition records the default input
// only; the Linux edition can also record what the default output plays.
constexpr int32_t LISTEN_INPUT = 0;
constexpr int32_t LISTEN_PLAYING = 1;

// Chooses what to listen to: before capture_open, the source it will open;
// while recording, a switch at once (the new source's sound follows a silent
// block). 0 when done, 1 when this edition cannot listen to `source`.
int32_t capture_listen(int32_t source);
