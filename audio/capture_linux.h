// Linux-only settings of the sound input, made before capture_open: an ALSA
// capture device of the user's choice instead of the desktop's sound server,
// and whether a PipeWire server answers (recording "what is playing" needs one);
// and what the tray tells of the sound while the program runs.
#pragma once
#include <cstdint>

// Records from the ALSA capture device `name` (not copied: it must live as
// long as the program, as argv does).
void capture_use_device(const char* name);
// True when a PipeWire server answers on this session.
bool capture_server_answers();

// What the tray tells of the sound. `watcher` is called on a recording thread
// after each time the sound is lost or back; it must return at once, without
// waiting, locking or allocating (null: none). Set before capture_start.
typedef void (*CaptureWatcher)();
void capture_watch(CaptureWatcher watcher);
// Whether sound comes: CAPTURE_SOUND, or CAPTURE_LOST with the cause in
// `cause` (`size` bytes), or CAPTURE_CHANGING while a recording thread is
// changing it (its watcher is called once it has).
constexpr int32_t CAPTURE_SOUND = 0;
constexpr int32_t CAPTURE_LOST = 1;
constexpr int32_t CAPTURE_CHANGING = 2;
int32_t capture_lost_cause(char* cause, int size);
