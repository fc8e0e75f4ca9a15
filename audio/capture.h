// The capture ring: eight 4,096-byte buffers circulating between the wave
// input device and a worker thread that hands each completed block to the
// block handler. All operations are called from the controlling (UI) thread,
// report nothing and return quietly when their state does not apply.
#pragma once
#include <cstdint>
#include "audio/wave_header.h"
#include "audio/wave_in.h"

constexpr int CAPTURE_BUFFERS = 8;
constexpr uint32_t CAPTURE_BUFFER_BYTES = 4096;  // 2,048 mono 16-bit samples

void capture_open();
void capture_set_block_handler(BlockHandler handler);
void capture_start();
void capture_stop();
void capture_close();

// What the program listens to. The Windows edition records the default input
// only; the Linux edition can also record what the default output plays.
constexpr int32_t LISTEN_INPUT = 0;
constexpr int32_t LISTEN_PLAYING = 1;

// Chooses what to listen to: before capture_open, the source it will open;
// while recording, a switch at once (the new source's blocks follow a silent
// one). 0 when done, 1 when this edition cannot listen to `source`.
int32_t capture_listen(int32_t source);

// The device's completion callback: stores and signals only.
void wave_in_callback(WaveInHandle device, uint32_t message, uintptr_t instance, uintptr_t param1,
                      uintptr_t param2);
// The worker thread's entry; returns 0 when it ends.
uint32_t capture_worker(void* parameter);

// Introspection for tests.
bool capture_is_open();
bool capture_is_running();
WaveHeader* capture_header(int index);
