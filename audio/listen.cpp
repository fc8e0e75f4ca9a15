// The Linux edition's capture: what the spine opens, starts, stops and closes
// to hear sound, and the one worker thread that hands every completed block to
// the block handler. It records through the desktop's PipeWire server whenever
// one answers (the default input, or what the default output plays, following
// the desktop as the user switches), through ALSA's "default" device when none
// does, and through the ALSA device the user named with -device=. Samples
// arrive on the recording thread and go into the block relay; each completed
// block wakes the worker, which takes the newest one (older ones are
// overwritten, so a slow handler never lags the sound). When the input is lost
// a silent block follows, so the LEDs fall to dark by their own ballistics
// instead of holding a level that no longer reflects any sound; the way of
// recording gets it back by itself. The user hears of each change once, on
// stderr: the path taken at start-up, an input lost (with its cause), and an
// input back. Nothing here is allocated after start-up.
#include <atomic>

#include "app/tell.h"
#include "audio/block_relay.h"
#include "audio/capture.h"
#include "audio/capture_linux.h"
#include "audio/ring_os.h"
#include "audio/sound_input.h"

namespace {

enum ListenPath { PATH_NONE, PATH_PIPEWIRE, PATH_ALSA };

const char* g_device;  // -device=, or null
std::atomic<int32_t> g_source{LISTEN_INPUT};  // read by the recording threads' messages
ListenPath g_path = PATH_NONE;
bool g_recording;  // UI thread: between capture_start and capture_stop
RingEvent g_block_event;
RingThread g_worker;
std::atomic<BlockHandler> g_block_handler{nullptr};
std::atomic<bool> g_worker_quit{false};
std::atomic<bool> g_lost{false};  // the input is lost (told once until it is back)
static_assert(std::atomic<BlockHandler>::is_always_lock_free, "handler must be lock-free");

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

// Woken for every completed block and every silence request; takes what the
// relay holds, silence first, then the newest block.
uint32_t listen_worker(void*) {
    for (;;) {
        ring_event_wait(g_block_event);
        if (g_worker_quit.load(std::memory_order_relaxed)) return 0;
        while (WaveHeader* block = relay_take()) {
            BlockHandler handler = g_block_handler.load(std::memory_order_relaxed);
            if (handler != nullptr) handler(block);
        }
    }
}

}  // namespace

void capture_use_device(const char* name) { g_device = name; }

bool capture_server_answers() { return pipewire_connect() == 0; }

void capture_open() {
    if (g_path != PATH_NONE) return;
    g_block_event = ring_event_create();
    if (g_block_event == nullptr) return;
    relay_reset();
    g_lost.store(false, std::memory_order_relaxed);
    if (g_device == nullptr && pipewire_connect() == 0) {
        g_path = PATH_PIPEWIRE;
    } else {
        g_path = PATH_ALSA;
        if (g_device == nullptr && g_source.load(std::memory_order_relaxed) == LISTEN_PLAYING) {
            tell("sonabar: what is playing cannot be heard without a PipeWire server; "
                 "listening to the default input instead");
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
    g_worker_quit.store(false, std::memory_order_relaxed);
    g_worker = ring_thread_create(listen_worker);
    if (g_worker == nullptr) return;
    ring_thread_raise_priority(g_worker);
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
    if (g_worker != nullptr) {
        // The flag is stored before the event is set and read after the wait returns.
        g_worker_quit.store(true, std::memory_order_relaxed);
        ring_event_set(g_block_event);
        ring_thread_join(g_worker);
        ring_thread_release(g_worker);
        g_worker = nullptr;
    }
    if (g_path == PATH_PIPEWIRE) pipewire_close();
    if (g_block_event != nullptr) ring_event_destroy(g_block_event);
    g_block_event = nullptr;
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

void listen_samples(const int16_t* samples, uint32_t count) {
    if (relay_append(samples, count)) ring_event_set(g_block_event);
}

void listen_gap() { relay_restart_block(); }

// What the recording thread left half-done is dropped, and a silent block
// tells the display.
void listen_silence() {
    relay_restart_block();
    relay_request_silence();
    ring_event_set(g_block_event);
}

void listen_lost(const char* cause) {
    listen_silence();
    if (g_lost.exchange(true, std::memory_order_relaxed)) return;
    tell("sonabar: no sound from the input: %s; the LEDs stay dark until it is back", cause);
}

void listen_back() {
    if (!g_lost.exchange(false, std::memory_order_relaxed)) return;
    listen_tell_path("the sound input is back: ");
}
