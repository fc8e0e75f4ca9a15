// The Linux edition's ways of recording, as the capture (audio/listen.cpp)
// uses them: the desktop's PipeWire server through its own client library, or
// an ALSA capture device (the fallback when no PipeWire server answers, or the
// device the user named). Each records 16-bit mono samples at 44,100 Hz on a
// thread of its own, hands them to listen_samples as they come, and reports
// when its input is lost and when it is back; it keeps trying to get it back
// by itself. No call here waits for a sound server that has stopped answering.
#pragma once
#include <cstdint>

// PipeWire (audio/sound_input_pipewire.cpp).
// Connects to the session's PipeWire server unless connected already: 0 when
// one answers within a second, 1 otherwise (nothing is left running then).
int32_t pipewire_connect();
// Records the default input (LISTEN_INPUT) or what the default output plays
// (LISTEN_PLAYING), following the desktop's default as the user changes it.
void pipewire_start(int32_t source);
// Stops recording; no sample is handed over once it returns.
void pipewire_stop();
// Disconnects and ends its thread.
void pipewire_close();

// ALSA (audio/sound_input_alsa.cpp): records from the capture device `name`,
// opening it again whenever it fails, until alsa_stop.
void alsa_start(const char* name);
// Stops recording and ends its thread; no sample is handed over once it returns.
void alsa_stop();

// What the ways of recording call, from their own threads (audio/listen.cpp).
// Samples as they come, in any number.
void listen_samples(const int16_t* samples, uint32_t count);
// A gap in the sound (an overrun, a new stream): no window spans it.
void listen_gap();
// No sound comes for now (the stream is moving to another input, say).
void listen_silence();
// The input cannot be opened or is gone, with the cause in a few words.
void listen_lost(const char* cause);
// The input records again.
void listen_back();
