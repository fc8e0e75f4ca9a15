// The scripted sound input: records the calls, answers pipewire_connect from
// g_fake_server_answers.
#include "tests/fakes/fake_sound_input.h"

#include <mutex>

#include "audio/capture.h"
#include "audio/sound_input.h"

bool g_fake_server_answers;

namespace {
std::mutex g_mutex;
std::vector<std::string> g_calls;

void fake_sound_input_log(const std::string& call) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.push_back(call);
}
}  // namespace

void fake_sound_input_reset() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.clear();
    g_fake_server_answers = false;
}

std::vector<std::string> fake_sound_input_calls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_calls;
}

int32_t pipewire_connect() {
    fake_sound_input_log("pipewire_connect");
    return g_fake_server_answers ? 0 : 1;
}
void pipewire_start(int32_t source) {
    fake_sound_input_log(source == LISTEN_PLAYING ? "pipewire_start playing" : "pipewire_start input");
}
void pipewire_stop() { fake_sound_input_log("pipewire_stop"); }
void pipewire_close() { fake_sound_input_log("pipewire_close"); }
void alsa_start(const char* name) { fake_sound_input_log(std::string("alsa_start ") + name); }
void alsa_stop() { fake_sound_input_log("alsa_stop"); }
