// A scripted sound input for the Linux capture's tests: whether a PipeWire
// server answers, and a log of what the capture asked of the two ways of
// recording. The test plays the recording thread itself, calling
// listen_samples, listen_lost and listen_back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

extern bool g_fake_server_answers;

void fake_sound_input_reset();
// "pipewire_connect", "pipewire_start input", "pipewire_stop", "alsa_start default", ...
std::vector<std::string> fake_sound_input_calls();
