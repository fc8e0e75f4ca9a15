// A scripted wave input device: it keeps the queue of added buffers, and the
// test completes them when it wants (from any thread) through fake_wave_complete.
// Stop hands back the buffer being filled, reset every queued buffer, both
// through the callback as the real devices do. Like a real device it makes no
// callback once reset or close has returned.
#pragma once
#include <cstdint>

#include "audio/wave_header.h"
#include "audio/wave_in.h"

struct FakeWaveScript {
    int open_result = 0;           // wave_in_open's result (non-zero: no device)
    int fail_prepare_at = -1;      // the n-th prepare (from 0) fails
    int fail_add_at = -1;          // the n-th add fails
    int stop_result = 0;
    int reset_result = 0;          // non-zero: reset fails and hands nothing back
    bool stop_hands_back = true;   // a successful stop hands back the buffer being filled
    bool refuse_requeue = false;   // adds after start fail: buffers drop out of the ring
    int fill_at_once = 0;          // the next n buffers added to an empty queue while recording
                                   // are filled and handed back inside the add (a starved device)
    bool log_calls = true;         // log every device call in the shared call log
};

// Set by the test before the capture is started; read by the device calls.
extern FakeWaveScript g_fake_wave;

void fake_wave_reset();
// Completes up to `count` queued buffers in queue order (each filled with
// `sample`, reported with WIM_DATA); returns how many were completed.
int fake_wave_complete(int count, int16_t sample = 0);
// Sends a notice other than WIM_DATA (WIM_OPEN / WIM_CLOSE) through the
// callback; `param1` lets a test check that only the message is looked at.
void fake_wave_notice(uint32_t message, uintptr_t param1 = 0);
int fake_wave_queued();                  // buffers queued at the device now
bool fake_wave_holds(const WaveHeader* header);  // `header` is queued at the device now
int fake_wave_prepared();                // headers prepared now
int64_t fake_wave_adds();                // successful wave_in_add_buffer calls so far
// Waits until `adds` buffers have been queued in all; false after a long
// time-out (a hang guard, not a timing assumption).
bool fake_wave_wait_adds(int64_t adds);
bool fake_wave_is_open();
WaveFormat fake_wave_format();          // the format the last open asked for
bool fake_wave_is_started();
