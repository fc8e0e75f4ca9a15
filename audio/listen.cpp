// The Linux edition's capture: what the spine opens, starts, stops and closes
// to hear sound, and the hand-over of the newest sound to the block
// handler. It records through the desktop's PipeWire server whenever one
// answers (the default input, or what the default output plays, following
// the desktop as the user switches), through ALSA's "default" device when
// none does, and through the ALSA device the user named with -device=.
// Samples arrive on the recording thread and go into the window relay. The
// handler is called on the tick's thread, at the start of each tick after a
// delivery, with a window of the newest 1,024 samples, ending at the last one
// delivered (so a slow handler never lags the sound): the LEDs change only at
// a tick, so this is as soon as the sound can be seen, it wakes no thread of
// its own per delivery, and the recording thread - a sound server's real-time
// thread - only copies and never waits for the analysis. When the input is
// lost a silent window is handed over first, so the LEDs fall to dark by their
// own ballistics instead of holding a level that no longer reflects any
// sound; the way of recording gets it back by itself. The user hears of each
// change once, on stderr: the path taken at start-up, the sound lost (with its
// cause), and the sound back; and the tray learns of the last two from the
// lost cause shared with the UI thread and the watcher it is woken by.
// Nothing here is allocated after start-up.
#include <atomic>

#include "audio/capture.h"
#include "audio/capture_linux.h"
#include "audio/sound_input.h"
#include "audio/window_relay.h"
#include "base/shared_text.h"
#include "base/tell.h"

namespace {

enum ListenPath { PATH_NONE, PATH_PIPEWIRE, PATH_ALSA };

const char* g_device;  // -device=, or null
std::atomic<int32_t> g_source{LISTEN_INPUT};  // read by the recording threads' messages
ListenPath g_path = PATH_NONE;
bool g_recording;  // UI thread: between capture_start and capture_stop
std::atomic<BlockHandler> g_block_handler{nullptr};
std::atomic<bool> g_lost{false};  // the input is lost (told once until it is back)
static_assert(std::atomic<BlockHandler>::is_always_lock_free, "handler must be lock-free");
// For the tray: the cause while the sound is lost, empty while it comes; and
// the UI thread's watcher, called after each change (published with release,
// so that what the watcher uses was set up before it is called).
SharedText g_lost_cause;
std::atomic<CaptureWatcher> g_watcher{nullptr};

void listen_tell_watcher() {
    CaptureWatcher watcher = g_watcher.load(std::memory_order_acquire);
    if (watcher != nullptr) watcher();
}

// One line on stderr: `lead`, then what is recorded and through what.
void listen_tell_path(const char* lead) {
    if (g_path == PATH_PIPEWIRE) {
        bool playing = g_source.load(std::memory_order_relaxed) == LISTEN_PLAYING;
        tell("sonabar: %slistening to %s through PipeWire", lead, playing ? "what is playing" : "the default input");
    } else if (g_device != nullptr) {
        tell("sonabar: %slistening to the ALSA capture device \"%s\"", lead, g_device);
    } else {
        tell("sonabar: %slistening to the default input through ALSA (no PipeWire server answered)", lead);
    }
}

void listen_start_path() {
    if (g_path == PATH_PIPEWIRE) {
        pipewire_start(g_source.load(std::memory_order_relaxed));
    } else {
        alsa_start(g_device != nullptr ? g_device : "default");
    }
}

void listen_stop_path() {
    if (g_path == PATH_PIPEWIRE) {
        pipewire_stop();
    } else {
        alsa_stop();
    }
}

}  // namespace

void capture_use_device(const char* name) { g_device = name; }

bool capture_server_answers() { return pipewire_connect() == 0; }

void capture_open() {
    if (g_path != PATH_NONE) return;
    relay_reset();
    g_lost.store(false, std::memory_order_relaxed);
    shared_text_write(g_lost_cause, "");
    if (g_device == nullptr && pipewire_connect() == 0) {
        g_path = PATH_PIPEWIRE;
    } else {
        g_path = PATH_ALSA;
        // ALSA has no "what is playing": the device named with -device= (whose
        // line says so) or the default input instead.
        if (g_source.load(std::memory_order_relaxed) == LISTEN_PLAYING) {
            if (g_device == nullptr) {
                tell("sonabar: what is playing cannot be heard without a PipeWire server; "
                     "listening to the default input instead");
            }
            g_source.store(LISTEN_INPUT, std::memory_order_relaxed);
        }
    }
    listen_tell_path("");
}

void capture_set_block_handler(BlockHandler handler) {
    g_block_handler.store(handler, std::memory_order_relaxed);
}

void capture_start() {
    if (g_path == PATH_NONE || g_recording) return;
    listen_start_path();
    g_recording = true;
}

void capture_stop() {
    if (!g_recording) return;
    listen_stop_path();
    g_recording = false;
}

void capture_close() {
    capture_stop();
    if (g_path == PATH_PIPEWIRE) pipewire_close();
    g_path = PATH_NONE;
    g_block_handler.store(nullptr, std::memory_order_relaxed);
}

int32_t capture_listen(int32_t source) {
    if (source != LISTEN_INPUT && source != LISTEN_PLAYING) return 1;
    if (g_path == PATH_NONE) {  // before the capture opens: where it will start
        g_source.store(source, std::memory_order_relaxed);
        return 0;
    }
    if (source == g_source.load(std::memory_order_relaxed)) return 0;
    if (g_path != PATH_PIPEWIRE) return 1;  // an ALSA device has no "what is playing"
    g_source.store(source, std::memory_order_relaxed);
    if (g_recording) {
        pipewire_stop();
        listen_silence();
        pipewire_start(source);
    }
    listen_tell_path("");
    return 0;
}

// The tick's thread: silence first when asked for, else the newest window.
void capture_tick() {
    WaveHeader* window = relay_take();
    BlockHandler handler = g_block_handler.load(std::memory_order_relaxed);
    if (window != nullptr && handler != nullptr) handler(window);
}

void listen_samples(const int16_t* samples, uint32_t count) { relay_append(samples, count); }

void listen_gap() { relay_restart(); }

// A silent window tells the display; what came before is never shown after it.
void listen_silence() { relay_request_silence(); }

void listen_lost(const char* cause) {
    listen_silence();
    if (g_lost.exchange(true, std::memory_order_relaxed)) return;
    shared_text_write(g_lost_cause, cause);
    listen_tell_watcher();
    tell("sonabar: no sound: %s; the LEDs stay dark until it is back", cause);
}

void listen_back() {
    if (!g_lost.exchange(false, std::memory_order_relaxed)) return;
    shared_text_write(g_lost_cause, "");
    listen_tell_watcher();
    listen_tell_path("the sound is back: ");
}

void capture_watch(CaptureWatcher watcher) { g_watcher.store(watcher, std::memory_order_release); }

int32_t capture_lost_cause(char* cause, int size) {
    if (!shared_text_read(g_lost_cause, cause, size)) return CAPTURE_CHANGING;
    return cause[0] != '\0' ? CAPTURE_LOST : CAPTURE_SOUND;
}
