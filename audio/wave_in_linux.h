// Linux-only setting of the wave input device: which ALSA capture PCM
// wave_in_open records from ("default" unless the command line names another).
#pragma once

// Keeps `name` (not copied: it must live as long as the program, as argv does).
void wave_in_set_device_name(const char* name);
