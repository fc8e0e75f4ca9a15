// Recording through an ALSA capture device: the user's -device=, or "default"
// when no PipeWire server answers (a desktop with another sound server, or
// none). One thread owns the device: it opens it (16-bit mono at 44,100 Hz,
// converted by ALSA where the device records otherwise), waits for sound with
// poll, reads whatever is there (a period, as a rule) and hands it on. An
// overrun restarts the stream and tells of the gap; a device that fails, or
// whose stream keeps restarting with nothing to read (a sound server behind
// it has gone), is closed and opened again every half second until it
// records again. The device is non-blocking and every wait has a time-out
// next to a wake-up descriptor, so stopping never waits for a device or a
// server.
#include <alsa/asoundlib.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "audio/sound_input.h"

namespace {

constexpr unsigned int RATE = 44100;
constexpr snd_pcm_uframes_t PERIOD_FRAMES = 1024;
constexpr snd_pcm_uframes_t BUFFER_FRAMES = 8192;
constexpr int WAIT_MS = 500;       // the longest wait for sound
constexpr int REOPEN_MS = 500;     // between attempts to open the device again
constexpr int NAP_MS = 5;          // a descriptor ready with nothing to read: a sound server's plugin
constexpr int LOST_AFTER_RESTARTS = 10;  // restarts with not one frame read between them
constexpr int MAX_FDS = 8;

const char* g_name;
pthread_t g_thread;
bool g_running;  // controlling thread only
int g_wake_fd = -1;
std::atomic<bool> g_quit{false};
static_assert(std::atomic<bool>::is_always_lock_free, "quit flag must be lock-free");

// Capture thread only.
snd_pcm_t* g_pcm;
int g_restarts;
int16_t g_chunk[PERIOD_FRAMES * 2];
pollfd g_fds[1 + MAX_FDS];  // the wake-up descriptor, then the device's
int g_fd_count;
char g_cause[160];

void alsa_quiet(const char*, int, const char*, int, const char*, ...) {}

// Waits up to `ms` on the wake-up descriptor alone; false once stopping.
bool alsa_rest(int ms) {
    poll(g_fds, 1, ms);
    return !g_quit.load(std::memory_order_relaxed);
}

bool alsa_configure(snd_pcm_t* pcm) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned int rate = RATE;
    snd_pcm_uframes_t period = PERIOD_FRAMES;
    snd_pcm_uframes_t buffer = BUFFER_FRAMES;
    if (snd_pcm_hw_params_any(pcm, hw) < 0 ||
        snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, hw, 1) < 0 || snd_pcm_hw_params_set_rate_resample(pcm, hw, 1) < 0 ||
        snd_pcm_hw_params_set_rate(pcm, hw, rate, 0) < 0 ||
        snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr) < 0 ||
        snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer) < 0 || snd_pcm_hw_params(pcm, hw) < 0) {
        return false;
    }
    return true;
}

// Opens and starts the device; on failure the cause is in g_cause.
bool alsa_open() {
    snd_pcm_t* pcm = nullptr;
    int error = snd_pcm_open(&pcm, g_name, SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (error < 0) {
        std::snprintf(g_cause, sizeof g_cause, "cannot open the ALSA device \"%s\": %s", g_name, snd_strerror(error));
        return false;
    }
    int fds = snd_pcm_poll_descriptors_count(pcm);
    if (!alsa_configure(pcm)) {
        std::snprintf(g_cause, sizeof g_cause, "the ALSA device \"%s\" cannot record 16-bit mono at %u Hz",
                      g_name, RATE);
    } else if (fds < 1 || fds > MAX_FDS) {
        std::snprintf(g_cause, sizeof g_cause, "the ALSA device \"%s\" cannot be waited for", g_name);
    } else if ((error = snd_pcm_start(pcm)) < 0) {
        std::snprintf(g_cause, sizeof g_cause, "the ALSA device \"%s\" does not start: %s", g_name,
                      snd_strerror(error));
    } else {
        g_fd_count = snd_pcm_poll_descriptors(pcm, &g_fds[1], static_cast<unsigned int>(fds));
        g_pcm = pcm;
        g_restarts = 0;
        listen_gap();
        return true;
    }
    snd_pcm_close(pcm);
    return false;
}

void alsa_close() {
    if (g_pcm != nullptr) snd_pcm_close(g_pcm);
    g_pcm = nullptr;
}

// An overrun or a suspend: restart, and tell of the gap in the sound. A
// stream that keeps restarting without a frame read has lost what feeds it.
bool alsa_recover(int error) {
    if (++g_restarts <= LOST_AFTER_RESTARTS && snd_pcm_recover(g_pcm, error, 1) == 0 &&
        (snd_pcm_state(g_pcm) != SND_PCM_STATE_PREPARED || snd_pcm_start(g_pcm) == 0)) {
        listen_gap();
        return true;
    }
    std::snprintf(g_cause, sizeof g_cause, "the ALSA device \"%s\" stopped recording", g_name);
    return false;
}

// Waits for sound and reads what is there; false when the device is lost.
bool alsa_read() {
    int ready = poll(g_fds, static_cast<nfds_t>(1 + g_fd_count), WAIT_MS);
    if (ready <= 0 || g_quit.load(std::memory_order_relaxed)) return true;
    snd_pcm_sframes_t got = snd_pcm_readi(g_pcm, g_chunk, sizeof g_chunk / sizeof g_chunk[0]);
    if (got > 0) {
        g_restarts = 0;
        listen_samples(g_chunk, static_cast<uint32_t>(got));
        return true;
    }
    if (got == 0 || got == -EAGAIN) {
        // Asking how much is there also brings to light an overrun or a lost
        // server that the descriptor did not show.
        snd_pcm_sframes_t held = snd_pcm_avail(g_pcm);
        if (held < 0) return alsa_recover(static_cast<int>(held));
        alsa_rest(NAP_MS);
        return true;
    }
    return alsa_recover(static_cast<int>(got));
}

void* alsa_thread(void*) {
    pthread_setname_np(pthread_self(), "sonabar-alsa");  // for top, perf and the measurements
    while (!g_quit.load(std::memory_order_relaxed)) {
        if (g_pcm == nullptr) {
            if (!alsa_open()) {
                listen_lost(g_cause);
                alsa_rest(REOPEN_MS);
                continue;
            }
            listen_back();
        }
        if (!alsa_read()) {
            alsa_close();
            listen_lost(g_cause);
        }
    }
    alsa_close();
    return nullptr;
}

}  // namespace

void alsa_start(const char* name) {
    if (g_running) return;
    snd_lib_error_set_handler(alsa_quiet);  // the program says itself what went wrong
    g_name = name;
    g_wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (g_wake_fd < 0) return;
    g_fds[0] = pollfd{g_wake_fd, POLLIN, 0};
    g_quit.store(false, std::memory_order_relaxed);
    if (pthread_create(&g_thread, nullptr, alsa_thread, nullptr) != 0) {
        close(g_wake_fd);
        g_wake_fd = -1;
        return;
    }
    g_running = true;
}

void alsa_stop() {
    if (!g_running) return;
    g_quit.store(true, std::memory_order_relaxed);
    uint64_t one = 1;
    ssize_t written = write(g_wake_fd, &one, sizeof one);
    (void)written;  // a counter already set wakes the thread just the same
    pthread_join(g_thread, nullptr);
    close(g_wake_fd);
    g_wake_fd = -1;
    g_running = false;
}
