// The Windows edition's capture ring: eight 4,096-byte buffers circulating
// between the wave input device and a worker thread that hands each completed
// block to the block handler. Beyond the capture's operations (capture.h), the
// device's completion callback and the worker's entry.
#pragma once
#include <cstdint>

#include "audio/capture.h"
#include "audio/wave_in.h"

constexpr int CAPTURE_BUFFERS = 8;
constexpr uint32_t CAPTURE_BUFFER_BYTES = 4096;  // 2,048 mono 16-bit samples

// The device's completion callback: stores and signals only.
void wave_in_callback(WaveInHandle device, uint32_t message, uintptr_t instance, uintptr_t param1,
                      uintptr_t param2);
// The worker thread's entry; returns 0 when it ends.
uint32_t capture_worker(void* parameter);
