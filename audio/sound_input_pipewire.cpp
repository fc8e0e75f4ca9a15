// Recording through the desktop's PipeWire server with its own client library.
// A stream without a target records the default input, or, with
// "stream.capture.sink", what the default output plays (its monitor); the
// server's session manager links it and moves it when the user picks another
// default, so following the desktop costs nothing here. Samples are taken on
// the library's real-time data thread (the server's own delivery: no thread of
// ours wakes per quantum) and only copied into the window relay there.
// Everything else runs on the library's loop thread: the stream's state, the
// server's errors, and a retry timer that connects again, every half second,
// after the server went away. The stream asks for the graph's usual quantum
// (1,024 frames at 48 kHz, 21.3 ms): sound reaches the LEDs at the tick after
// the delivery that holds it, so a shorter quantum would bring them closer to
// the sound, but asking for no less than the usual one keeps the desktop's
// sound from working harder for us (where the graph runs a shorter one
// anyway, its deliveries are followed as they come).
// The library's calls only queue messages to the server and never wait for an
// answer here (but for the connect check, which gives up after a second), so a
// server that has stalled cannot hold up any thread of the program.
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "audio/capture.h"
#include "audio/sound_input.h"

namespace {

constexpr const char* NODE_LATENCY = "1024/48000";
constexpr uint32_t RATE = 44100;
constexpr int CONNECT_PATIENCE_NS = 1000000000;
constexpr long RETRY_NS = 500000000;        // between attempts to connect again
constexpr long UNLINKED_GRACE_NS = 1000000000;  // a move to another device is no loss
constexpr long FIRST_LINK_NS = 3000000000;       // for the session manager to link a new stream

bool g_library;  // pw_init done
pw_thread_loop* g_loop;
pw_context* g_context;
pw_core* g_core;
spa_hook g_core_listener;
pw_stream* g_stream;
spa_hook g_stream_listener;
spa_source* g_retry;      // connects again while the server is away
spa_source* g_unlinked;   // a stream left without an input for a while is lost
int g_sync_seq;
bool g_synced;
// Loop thread (or the caller, holding the loop's lock):
int32_t g_source = LISTEN_INPUT;
bool g_wanted;            // a stream should be recording (between start and stop)
bool g_streamed;          // the stream has recorded since it was made

void pipewire_arm(spa_source* timer, long nanoseconds) {
    timespec value{nanoseconds / 1000000000, nanoseconds % 1000000000};
    timespec interval{0, 0};
    pw_loop_update_timer(pw_thread_loop_get_loop(g_loop), timer, &value, &interval, false);
}

void pipewire_disarm(spa_source* timer) {
    timespec zero{0, 0};
    pw_loop_update_timer(pw_thread_loop_get_loop(g_loop), timer, &zero, &zero, false);
}

// Real-time data thread: copy what the server delivered and give the buffer back.
void pipewire_on_process(void*) {
    pw_buffer* buffer = pw_stream_dequeue_buffer(g_stream);
    if (buffer == nullptr) return;
    spa_data& data = buffer->buffer->datas[0];
    if (data.data != nullptr && data.chunk != nullptr) {
        uint32_t offset = data.chunk->offset < data.maxsize ? data.chunk->offset : data.maxsize;
        uint32_t size = data.chunk->size < data.maxsize - offset ? data.chunk->size : data.maxsize - offset;
        listen_samples(reinterpret_cast<const int16_t*>(static_cast<const char*>(data.data) + offset),
                       size / sizeof(int16_t));
    }
    pw_stream_queue_buffer(g_stream, buffer);
}

void pipewire_on_state(void*, pw_stream_state, pw_stream_state state, const char* error) {
    switch (state) {
        case PW_STREAM_STATE_STREAMING:
            g_streamed = true;
            pipewire_disarm(g_unlinked);
            listen_back();
            break;
        case PW_STREAM_STATE_PAUSED:
            // Unlinked: the input went away, or the stream is moving to another
            // one. Either way no sound comes now; only an input that stays away
            // is told as lost.
            if (g_streamed) {
                listen_silence();
                pipewire_arm(g_unlinked, UNLINKED_GRACE_NS);
            }
            break;
        case PW_STREAM_STATE_ERROR:
            listen_lost(error != nullptr ? error : "the PipeWire stream failed");
            pipewire_arm(g_retry, RETRY_NS);
            break;
        default:
            break;
    }
}

void pipewire_on_unlinked(void*, uint64_t) {
    listen_lost(g_streamed ? "the device it recorded went away"
                           : "PipeWire linked nothing to the program (is its session manager running?)");
}

pw_stream_events pipewire_stream_events() {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = pipewire_on_state;
    events.process = pipewire_on_process;
    return events;
}
const pw_stream_events g_stream_events = pipewire_stream_events();

void pipewire_make_stream() {
    pw_properties* properties = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, "Music",
        PW_KEY_APP_NAME, "Sonabar", PW_KEY_NODE_NAME, "sonabar", PW_KEY_NODE_DESCRIPTION, "Sonabar level meter",
        PW_KEY_NODE_LATENCY, NODE_LATENCY, nullptr);
    if (g_source == LISTEN_PLAYING) pw_properties_set(properties, PW_KEY_STREAM_CAPTURE_SINK, "true");
    g_stream = pw_stream_new(g_core, "Sonabar", properties);
    if (g_stream == nullptr) return;
    g_streamed = false;
    pw_stream_add_listener(g_stream, &g_stream_listener, &g_stream_events, nullptr);
    pipewire_arm(g_unlinked, FIRST_LINK_NS);

    uint8_t space[256];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(space, sizeof space);
    spa_audio_info_raw format{};
    format.format = SPA_AUDIO_FORMAT_S16_LE;
    format.rate = RATE;
    format.channels = 1;
    format.position[0] = SPA_AUDIO_CHANNEL_MONO;
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format)};
    pw_stream_connect(g_stream, PW_DIRECTION_INPUT, PW_ID_ANY,
                      static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                   PW_STREAM_FLAG_RT_PROCESS),
                      params, 1);
}

void pipewire_drop_stream() {
    if (g_stream == nullptr) return;
    spa_hook_remove(&g_stream_listener);
    pw_stream_destroy(g_stream);  // waits for the data thread to leave the stream
    g_stream = nullptr;
    pipewire_disarm(g_unlinked);
}

void pipewire_drop_core() {
    pipewire_drop_stream();
    if (g_core == nullptr) return;
    spa_hook_remove(&g_core_listener);
    pw_core_disconnect(g_core);
    g_core = nullptr;
}

void pipewire_on_done(void*, uint32_t id, int seq) {
    if (id == PW_ID_CORE && seq == g_sync_seq) {
        g_synced = true;
        pw_thread_loop_signal(g_loop, false);
    }
}

void pipewire_on_error(void*, uint32_t id, int, int result, const char*) {
    // Errors about single objects (a failed link, say) reach the stream's state.
    if (id != PW_ID_CORE || result != -EPIPE) return;
    listen_lost("the PipeWire server went away");
    pw_thread_loop_signal(g_loop, false);  // a connect check waiting for an answer gives up
    pipewire_arm(g_retry, 1);              // the core is dropped outside its own callback
}

pw_core_events pipewire_core_events() {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.done = pipewire_on_done;
    events.error = pipewire_on_error;
    return events;
}
const pw_core_events g_core_events = pipewire_core_events();

bool pipewire_connect_core() {
    g_core = pw_context_connect(g_context, nullptr, 0);
    if (g_core == nullptr) return false;
    pw_core_add_listener(g_core, &g_core_listener, &g_core_events, nullptr);
    return true;
}

// After the server went away (or the stream failed): drop what is left and
// connect again; the stream's streaming state tells that the input is back.
void pipewire_on_retry(void*, uint64_t) {
    pipewire_drop_core();
    if (!g_wanted) return;
    if (!pipewire_connect_core()) {
        pipewire_arm(g_retry, RETRY_NS);
        return;
    }
    pipewire_make_stream();
}

void pipewire_quiet() {
    // The library's own warnings (a missing real-time service, a lost
    // connection) would reach stderr; the program says what matters itself.
    if (std::getenv("PIPEWIRE_DEBUG") == nullptr) pw_log_set_level(SPA_LOG_LEVEL_NONE);
}

bool pipewire_make_loop() {
    pw_init(nullptr, nullptr);
    g_library = true;
    pipewire_quiet();
    g_loop = pw_thread_loop_new("sonabar-pipewire", nullptr);
    if (g_loop == nullptr) return false;
    // The client configuration that runs the data thread at real-time priority where allowed.
    g_context = pw_context_new(pw_thread_loop_get_loop(g_loop),
                               pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    pw_loop* loop = pw_thread_loop_get_loop(g_loop);
    g_retry = g_context != nullptr ? pw_loop_add_timer(loop, pipewire_on_retry, nullptr) : nullptr;
    g_unlinked = g_retry != nullptr ? pw_loop_add_timer(loop, pipewire_on_unlinked, nullptr) : nullptr;
    return g_unlinked != nullptr && pw_thread_loop_start(g_loop) == 0;
}

// Waits, holding the loop's lock, until the server has answered a sync.
bool pipewire_await_answer() {
    g_synced = false;
    g_sync_seq = pw_core_sync(g_core, PW_ID_CORE, 0);
    timespec deadline;
    pw_thread_loop_get_time(g_loop, &deadline, CONNECT_PATIENCE_NS);
    while (!g_synced) {
        if (pw_thread_loop_timed_wait_full(g_loop, &deadline) != 0) return false;
    }
    return true;
}

}  // namespace

int32_t pipewire_connect() {
    if (g_loop == nullptr && !pipewire_make_loop()) {
        pipewire_close();
        return 1;
    }
    pw_thread_loop_lock(g_loop);
    bool answered = g_core != nullptr || (pipewire_connect_core() && pipewire_await_answer());
    if (!answered) pipewire_drop_core();
    pw_thread_loop_unlock(g_loop);
    if (!answered) pipewire_close();
    return answered ? 0 : 1;
}

void pipewire_start(int32_t source) {
    if (g_loop == nullptr) return;
    pw_thread_loop_lock(g_loop);
    g_source = source;
    g_wanted = true;
    if (g_core != nullptr) {
        pipewire_make_stream();
    } else {
        pipewire_arm(g_retry, 1);
    }
    pw_thread_loop_unlock(g_loop);
}

void pipewire_stop() {
    if (g_loop == nullptr) return;
    pw_thread_loop_lock(g_loop);
    g_wanted = false;
    pipewire_drop_stream();
    pipewire_disarm(g_retry);
    pw_thread_loop_unlock(g_loop);
}

void pipewire_close() {
    if (g_loop != nullptr) {
        pw_thread_loop_stop(g_loop);  // joins the loop thread: from here on, this thread alone
        pipewire_drop_core();
    }
    pw_loop* loop = g_loop != nullptr ? pw_thread_loop_get_loop(g_loop) : nullptr;
    if (g_retry != nullptr) pw_loop_destroy_source(loop, g_retry);
    if (g_unlinked != nullptr) pw_loop_destroy_source(loop, g_unlinked);
    g_retry = g_unlinked = nullptr;
    if (g_context != nullptr) pw_context_destroy(g_context);
    g_context = nullptr;
    if (g_loop != nullptr) pw_thread_loop_destroy(g_loop);
    g_loop = nullptr;
    g_wanted = false;
    if (g_library) pw_deinit();
    g_library = false;
}
