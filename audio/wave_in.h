// The wave input device as the capture ring uses it: open, prepare, queue,
// start, stop, reset, unprepare, close, and a completion callback that reports
// each filled buffer with WIM_DATA. One implementation per platform (waveIn on
// Windows, ALSA on Linux); the tests script a fake one. Every call returns 0 on
// success and a non-zero platform code on failure.
#pragma once
#include <cstdint>
#include "audio/wave_header.h"

typedef void* WaveInHandle;

// PCM format record, fields as the platform's wave format record names them.
struct WaveFormat {
    uint16_t wFormatTag;       // 1: PCM
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};

constexpr uint32_t WIM_OPEN = 0x3BE;
constexpr uint32_t WIM_CLOSE = 0x3BF;
constexpr uint32_t WIM_DATA = 0x3C0;  // param1: the completed buffer's header

// Called on a thread of the audio system; param1 carries the header for WIM_DATA.
typedef void (*WaveInCallback)(WaveInHandle device, uint32_t message, uintptr_t instance,
                               uintptr_t param1, uintptr_t param2);

// Opens the system's default input device for `format`.
int wave_in_open(WaveInHandle* device, const WaveFormat* format, WaveInCallback callback,
                 uintptr_t instance);
int wave_in_prepare_header(WaveInHandle device, WaveHeader* header);
// Queues a buffer; the device fills queued buffers in the order they were queued.
int wave_in_add_buffer(WaveInHandle device, WaveHeader* header);
int wave_in_start(WaveInHandle device);
// Stops recording; the buffer being filled comes back (possibly part-filled), the others stay queued.
int wave_in_stop(WaveInHandle device);
// Stops recording and hands every queued buffer back through the callback;
// returns once all of them have been handed back.
int wave_in_reset(WaveInHandle device);
int wave_in_unprepare_header(WaveInHandle device, WaveHeader* header);
// Fails while buffers are still queued; once it succeeds no callback follows.
int wave_in_close(WaveInHandle device);
