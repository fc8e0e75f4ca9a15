// Linux-only settings of the sound input, made before capture_open: an ALSA
// capture device of the user's choice instead of the desktop's sound server,
// and whether a PipeWire server answers (recording "what is playing" needs one).
#pragma once

// Records from the ALSA capture device `name` (not copied: it must live as
// long as the program, as argv does).
void capture_use_device(const char* name);
// True when a PipeWire server answers on this session.
bool capture_server_answers();
