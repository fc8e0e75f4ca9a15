// The wave input device on Windows: the system's waveIn functions on the
// default input (the wave mapper) with a function callback. The portable
// WaveHeader has the very layout of the system's WAVEHDR (checked below), so
// the ring's headers are handed to the system as they are, and the header
// pointer the system reports with WIM_DATA is the ring's own.
//
// The portable headers come first: they declare WIM_* and WHDR_* as constants,
// which <mmsystem.h> then defines as macros of the same names and values
// (also checked below).
#include "audio/wave_in.h"

#include <cstddef>

namespace {
constexpr uint32_t PORTABLE_WIM_OPEN = WIM_OPEN;
constexpr uint32_t PORTABLE_WIM_CLOSE = WIM_CLOSE;
constexpr uint32_t PORTABLE_WIM_DATA = WIM_DATA;
constexpr uint32_t PORTABLE_WHDR_DONE = WHDR_DONE;
constexpr uint32_t PORTABLE_WHDR_PREPARED = WHDR_PREPARED;
constexpr uint32_t PORTABLE_WHDR_INQUEUE = WHDR_INQUEUE;
}  // namespace

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <mmsystem.h>

static_assert(PORTABLE_WIM_OPEN == WIM_OPEN && PORTABLE_WIM_CLOSE == WIM_CLOSE &&
                  PORTABLE_WIM_DATA == WIM_DATA, "wave input messages");
static_assert(PORTABLE_WHDR_DONE == WHDR_DONE && PORTABLE_WHDR_PREPARED == WHDR_PREPARED &&
                  PORTABLE_WHDR_INQUEUE == WHDR_INQUEUE, "wave header flags");

static_assert(sizeof(WaveHeader) == sizeof(WAVEHDR), "WaveHeader must be a WAVEHDR");
static_assert(offsetof(WaveHeader, lpData) == offsetof(WAVEHDR, lpData), "lpData");
static_assert(offsetof(WaveHeader, dwBufferLength) == offsetof(WAVEHDR, dwBufferLength), "dwBufferLength");
static_assert(offsetof(WaveHeader, dwBytesRecorded) == offsetof(WAVEHDR, dwBytesRecorded), "dwBytesRecorded");
static_assert(offsetof(WaveHeader, dwUser) == offsetof(WAVEHDR, dwUser), "dwUser");
static_assert(offsetof(WaveHeader, dwFlags) == offsetof(WAVEHDR, dwFlags), "dwFlags");
static_assert(offsetof(WaveHeader, dwLoops) == offsetof(WAVEHDR, dwLoops), "dwLoops");
static_assert(offsetof(WaveHeader, lpNext) == offsetof(WAVEHDR, lpNext), "lpNext");
static_assert(offsetof(WaveHeader, reserved) == offsetof(WAVEHDR, reserved), "reserved");

namespace {

// The portable callback. Set before the device is opened, which orders it
// before every call the system makes.
WaveInCallback g_callback;

void CALLBACK wave_in_trampoline(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                 DWORD_PTR param2) {
    g_callback(device, message, instance, param1, param2);
}

HWAVEIN wave_in_handle(WaveInHandle device) { return static_cast<HWAVEIN>(device); }

LPWAVEHDR wave_in_header(WaveHeader* header) { return reinterpret_cast<LPWAVEHDR>(header); }

}  // namespace

int wave_in_open(WaveInHandle* device, const WaveFormat* format, WaveInCallback callback,
                 uintptr_t instance) {
    WAVEFORMATEX system_format{};
    system_format.wFormatTag = format->wFormatTag;
    system_format.nChannels = format->nChannels;
    system_format.nSamplesPerSec = format->nSamplesPerSec;
    system_format.nAvgBytesPerSec = format->nAvgBytesPerSec;
    system_format.nBlockAlign = format->nBlockAlign;
    system_format.wBitsPerSample = format->wBitsPerSample;
    system_format.cbSize = format->cbSize;
    g_callback = callback;
    HWAVEIN handle = NULL;
    MMRESULT result = waveInOpen(&handle, WAVE_MAPPER, &system_format,
                                 reinterpret_cast<DWORD_PTR>(&wave_in_trampoline), instance, CALLBACK_FUNCTION);
    *device = handle;
    return static_cast<int>(result);
}

int wave_in_prepare_header(WaveInHandle device, WaveHeader* header) {
    return static_cast<int>(waveInPrepareHeader(wave_in_handle(device), wave_in_header(header), sizeof(WAVEHDR)));
}

int wave_in_add_buffer(WaveInHandle device, WaveHeader* header) {
    return static_cast<int>(waveInAddBuffer(wave_in_handle(device), wave_in_header(header), sizeof(WAVEHDR)));
}

int wave_in_start(WaveInHandle device) { return static_cast<int>(waveInStart(wave_in_handle(device))); }

int wave_in_stop(WaveInHandle device) { return static_cast<int>(waveInStop(wave_in_handle(device))); }

int wave_in_reset(WaveInHandle device) { return static_cast<int>(waveInReset(wave_in_handle(device))); }

int wave_in_unprepare_header(WaveInHandle device, WaveHeader* header) {
    return static_cast<int>(
        waveInUnprepareHeader(wave_in_handle(device), wave_in_header(header), sizeof(WAVEHDR)));
}

int wave_in_close(WaveInHandle device) { return static_cast<int>(waveInClose(wave_in_handle(device))); }
