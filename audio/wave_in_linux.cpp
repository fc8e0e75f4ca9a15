// Wave input on Linux over ALSA (the "default" PCM reaches PipeWire or
// PulseAudio). One capture thread owns the PCM after it is opened: it reads
// straight into the buffer at the head of the queue, a period (one block) at a
// time, and reports each full buffer through the completion callback. The queue is an
// intrusive list through WaveHeader::lpNext, so nothing is allocated per block.
//
// The controlling thread's start, stop, reset and close are requests that the
// capture thread serves while the caller waits; an eventfd wakes it from its
// poll. So stop and reset are synchronous: the buffers they hand back have
// gone through the callback before the call returns. Reads never block (the
// PCM is non-blocking and the poll has a time-out), so a server that stops
// answering cannot hang the program. An overrun restarts the stream with
// snd_pcm_recover and the ring goes on; a device that disappears ends the
// recording, and the buffers stay queued until reset hands them back. An
// overrun is found from the PCM's state as well as from its poll events: a
// plugin whose server has gone (PipeWire's) reports it only when asked. A
// device that has ended refuses buffers queued afterwards.
//
// Some plugins keep their descriptor ready while less than a period waits
// (PipeWire's does from every read until the server's next delivery). When
// the descriptor is ready but the block cannot be completed yet, the thread
// naps until the delivery that completes it is due (audio/pace.h): about one
// wake-up a block, a millisecond after the sound is in.
#include <alsa/asoundlib.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "audio/pace.h"
#include "audio/wave_in.h"
#include "audio/capture_linux.h"

namespace {

// Result codes, with the values of the platform's wave-input calls.
constexpr int WAVE_OK = 0;
constexpr int WAVE_ERROR = 1;
constexpr int WAVE_BAD_DEVICE = 2;
constexpr int WAVE_ALLOCATED = 4;
constexpr int WAVE_INVALID_HANDLE = 5;
constexpr int WAVE_NO_DRIVER = 6;
constexpr int WAVE_INVALID_PARAMETER = 11;
constexpr int WAVE_BAD_FORMAT = 32;
constexpr int WAVE_STILL_QUEUED = 33;
constexpr int WAVE_UNPREPARED = 34;

// One period is one block (2,048 frames): the capture thread wakes about once
// a block, and the PCM does not ask the sound server for a smaller quantum
// than the program needs (a 256-frame period made PipeWire and its client
// thread run five times as often, which cost more than the rest of the
// program). The larger ALSA buffer only gives a late capture thread slack.
constexpr snd_pcm_uframes_t PERIOD_FRAMES = 2048;
constexpr snd_pcm_uframes_t BUFFER_FRAMES = 8192;
constexpr int POLL_TIMEOUT_MS = 500;
// Restarts after overruns with not one frame read between them: the stream
// restarts but nothing feeds it (its server has gone), so recording has ended.
constexpr int LOST_AFTER_RESTARTS = 10;
constexpr int MAX_PCM_FDS = 4;
constexpr unsigned short POLL_TROUBLE = POLLERR | POLLHUP | POLLNVAL;

enum Request { REQUEST_NONE, REQUEST_START, REQUEST_STOP, REQUEST_RESET, REQUEST_QUIT };

struct WaveDevice {
    snd_pcm_t* pcm;
    WaveInCallback callback;
    uintptr_t instance;
    uint32_t frame_bytes;
    uint32_t rate;  // frames a second
    int wake_fd;
    pthread_t thread;
    pthread_mutex_t mutex;
    pthread_cond_t served;
    // Guarded by mutex.
    WaveHeader* head;  // the buffer being filled, first of the queue
    WaveHeader* tail;
    Request request;
    int result;
    bool failed;  // the device went away: recording has ended (set by the capture thread)
    // Capture thread only.
    bool running;
    uint32_t filled;   // bytes of the head buffer recorded so far
    int restarts;      // overrun restarts since a frame was last read
    pollfd fds[1 + MAX_PCM_FDS];  // the wake-up eventfd, then the PCM's descriptors
    int pcm_fd_count;
    int nap_ms;  // about one period
    Pace pace;   // when the server's next delivery is due
};

WaveDevice g_device;
bool g_device_open;  // controlling thread only
const char* g_device_name = "default";
bool g_device_named;  // given on the command line: a failure to open it is worth a word

void wave_quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

void wave_wake() {
    uint64_t one = 1;
    ssize_t written = write(g_device.wake_fd, &one, sizeof one);
    (void)written;  // a counter that is already set wakes the thread just the same
}

WaveHeader* wave_pop_head() {
    pthread_mutex_lock(&g_device.mutex);
    WaveHeader* header = g_device.head;
    if (header != nullptr) {
        g_device.head = header->lpNext;
        if (g_device.head == nullptr) g_device.tail = nullptr;
        header->lpNext = nullptr;
    }
    pthread_mutex_unlock(&g_device.mutex);
    return header;
}

void wave_deliver(WaveHeader* header, uint32_t bytes) {
    header->dwBytesRecorded = bytes;
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    g_device.callback(&g_device, WIM_DATA, g_device.instance, reinterpret_cast<uintptr_t>(header), 0);
}

void wave_complete_head() {
    WaveHeader* header = wave_pop_head();
    if (header != nullptr) wave_deliver(header, g_device.filled);
    g_device.filled = 0;
}

void wave_halt() {
    if (g_device.running) snd_pcm_drop(g_device.pcm);
    g_device.running = false;
}

bool wave_has_failed() {
    pthread_mutex_lock(&g_device.mutex);
    bool failed = g_device.failed;
    pthread_mutex_unlock(&g_device.mutex);
    return failed;
}

void wave_fail() {
    wave_halt();
    pthread_mutex_lock(&g_device.mutex);
    g_device.failed = true;
    pthread_mutex_unlock(&g_device.mutex);
}

// Naps last at most two periods: long enough to sleep through the two
// deliveries a block may need, short enough for a server that has stopped.
void wave_reset_pace() {
    pace_reset(&g_device.pace, g_device.rate, 2 * static_cast<int64_t>(g_device.nap_ms) * 1000000);
}

// After an overrun or a suspend: restart the stream and refill the head
// buffer from its start, so that every block holds contiguous sound. A stream
// that keeps overrunning without a frame read has lost its device.
void wave_recover(int error) {
    if (++g_device.restarts > LOST_AFTER_RESTARTS || snd_pcm_recover(g_device.pcm, error, 1) != 0) {
        wave_fail();
        return;
    }
    if (snd_pcm_state(g_device.pcm) == SND_PCM_STATE_PREPARED && snd_pcm_start(g_device.pcm) < 0) {
        wave_fail();
        return;
    }
    g_device.filled = 0;
    wave_reset_pace();
}

// Reads what the PCM has into `header`; reports it when full. Returns false
// when nothing could be read.
bool wave_read_into(WaveHeader* header) {
    snd_pcm_uframes_t wanted = (header->dwBufferLength - g_device.filled) / g_device.frame_bytes;
    if (wanted > 0) {
        snd_pcm_sframes_t got = snd_pcm_readi(g_device.pcm, header->lpData + g_device.filled, wanted);
        if (got < 0) {
            if (got != -EAGAIN) wave_recover(static_cast<int>(got));
            return false;
        }
        if (got > 0) g_device.restarts = 0;
        g_device.filled += static_cast<uint32_t>(got) * g_device.frame_bytes;
        wanted -= static_cast<snd_pcm_uframes_t>(got);
        pace_took(&g_device.pace, got);
    }
    if (wanted == 0) wave_complete_head();
    return true;
}

// The PCM signalled trouble but had nothing to read: an overrun, a suspend,
// or a device that is gone.
void wave_check_state() {
    switch (snd_pcm_state(g_device.pcm)) {
        case SND_PCM_STATE_XRUN:
            wave_recover(-EPIPE);
            break;
        case SND_PCM_STATE_SUSPENDED:
            wave_recover(-ESTRPIPE);
            break;
        case SND_PCM_STATE_RUNNING:
            break;
        default:
            wave_fail();
            break;
    }
}

// Waits on the wake-up eventfd alone for `timeout_ms`; true when it was set.
bool wave_wait_for_wake(int timeout_ms) {
    if (poll(g_device.fds, 1, timeout_ms) <= 0 || (g_device.fds[0].revents & POLLIN) == 0) return false;
    uint64_t counter;
    ssize_t got = read(g_device.wake_fd, &counter, sizeof counter);
    (void)got;
    return true;
}

// Naps on the wake-up eventfd alone for `nanoseconds` (to the nanosecond: the
// nap ends a millisecond after the sound is due). A wake-up ends it early and
// stays set for the loop's next poll.
void wave_nap(int64_t nanoseconds) {
    timespec timeout{static_cast<time_t>(nanoseconds / 1000000000),
                     static_cast<long>(nanoseconds % 1000000000)};
    ppoll(g_device.fds, 1, &timeout, nullptr);
}

// Frames the PCM holds now; the pace learns from what came in since its last look.
snd_pcm_sframes_t wave_look() {
    snd_pcm_sframes_t avail = snd_pcm_avail_update(g_device.pcm);
    if (avail < 0) avail = 0;
    pace_look(&g_device.pace, avail);
    return avail;
}

// Waits for sound (when `header` is being filled) or a request, then reads.
// A ready descriptor is taken at its word; when it is ready but the block
// cannot be completed, the thread naps until the delivery that completes it
// is due instead of spinning.
void wave_capture(WaveHeader* header) {
    if (header == nullptr) {
        wave_wait_for_wake(POLL_TIMEOUT_MS);
        return;
    }
    int count = 1 + g_device.pcm_fd_count;
    int ready = poll(g_device.fds, static_cast<nfds_t>(count), POLL_TIMEOUT_MS);
    if (ready > 0 && (g_device.fds[0].revents & POLLIN)) {
        wave_wait_for_wake(0);  // clears it; the loop serves the request or the new buffer
        return;
    }
    unsigned short revents = 0;
    if (ready > 0) {
        snd_pcm_poll_descriptors_revents(g_device.pcm, &g_device.fds[1],
                                         static_cast<unsigned int>(g_device.pcm_fd_count), &revents);
    }
    if ((revents & POLL_TROUBLE) != 0 && wave_read_into(header)) return;
    snd_pcm_sframes_t avail = wave_look();
    snd_pcm_sframes_t needed = (header->dwBufferLength - g_device.filled) / g_device.frame_bytes;
    if (((revents & POLLIN) != 0 || avail >= needed) && wave_read_into(header)) return;
    // Nothing read. Asking how much the PCM holds also brings to light an
    // overrun, a suspend or a lost device that the poll events did not show
    // (PipeWire's plugin shows a lost server only this way).
    snd_pcm_sframes_t held = snd_pcm_avail(g_device.pcm);
    if (held < 0) {
        wave_recover(static_cast<int>(held));
    } else {
        wave_check_state();
    }
    if (!g_device.running) return;
    snd_pcm_sframes_t delay = 0;
    snd_pcm_sframes_t pending = snd_pcm_delay(g_device.pcm, &delay) == 0 && delay > avail ? delay - avail : 0;
    wave_nap(pace_nap_ns(&g_device.pace, needed, avail, pending));
}

int wave_serve(Request request) {
    switch (request) {
        case REQUEST_START:
            if (wave_has_failed()) return WAVE_ERROR;
            if (g_device.running) return WAVE_OK;
            if (snd_pcm_prepare(g_device.pcm) < 0 || snd_pcm_start(g_device.pcm) < 0) return WAVE_ERROR;
            g_device.running = true;
            g_device.filled = 0;
            wave_reset_pace();
            g_device.restarts = 0;
            return WAVE_OK;
        case REQUEST_STOP: {
            bool was_running = g_device.running;
            wave_halt();
            if (was_running) wave_complete_head();  // the buffer being filled comes back
            return WAVE_OK;
        }
        case REQUEST_RESET:
            wave_halt();
            while (WaveHeader* header = wave_pop_head()) {
                wave_deliver(header, g_device.filled);
                g_device.filled = 0;
            }
            return WAVE_OK;
        case REQUEST_QUIT:
            wave_halt();
            return WAVE_OK;
        case REQUEST_NONE:
            break;
    }
    return WAVE_OK;
}

void* wave_thread(void*) {
    pthread_setname_np(pthread_self(), "sonabar-alsa");  // for top, perf and the measurements
    pthread_mutex_lock(&g_device.mutex);
    for (;;) {
        Request request = g_device.request;
        if (request != REQUEST_NONE) {
            pthread_mutex_unlock(&g_device.mutex);
            int result = wave_serve(request);
            pthread_mutex_lock(&g_device.mutex);
            g_device.result = result;
            g_device.request = REQUEST_NONE;
            pthread_cond_broadcast(&g_device.served);
            if (request == REQUEST_QUIT) break;
            continue;
        }
        WaveHeader* header = g_device.running ? g_device.head : nullptr;
        pthread_mutex_unlock(&g_device.mutex);
        wave_capture(header);
        pthread_mutex_lock(&g_device.mutex);
    }
    pthread_mutex_unlock(&g_device.mutex);
    return nullptr;
}

// Has the capture thread serve `request` and waits until it has.
int wave_request(Request request) {
    pthread_mutex_lock(&g_device.mutex);
    while (g_device.request != REQUEST_NONE) pthread_cond_wait(&g_device.served, &g_device.mutex);
    g_device.request = request;
    wave_wake();
    while (g_device.request != REQUEST_NONE) pthread_cond_wait(&g_device.served, &g_device.mutex);
    int result = g_device.result;
    pthread_mutex_unlock(&g_device.mutex);
    return result;
}

bool wave_configure(snd_pcm_t* pcm, const WaveFormat* format, int* nap_ms) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    if (snd_pcm_hw_params_any(pcm, hw) < 0) return false;
    if (snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0) return false;
    if (snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE) < 0) return false;
    if (snd_pcm_hw_params_set_channels(pcm, hw, format->nChannels) < 0) return false;
    snd_pcm_hw_params_set_rate_resample(pcm, hw, 1);
    if (snd_pcm_hw_params_set_rate(pcm, hw, format->nSamplesPerSec, 0) < 0) return false;
    snd_pcm_uframes_t period = PERIOD_FRAMES;
    snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr);
    snd_pcm_uframes_t buffer = BUFFER_FRAMES;
    snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer);
    if (snd_pcm_hw_params(pcm, hw) < 0) return false;

    snd_pcm_hw_params_get_period_size(hw, &period, nullptr);
    *nap_ms = static_cast<int>(period * 1000 / format->nSamplesPerSec);
    if (*nap_ms < 1) *nap_ms = 1;
    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(pcm, sw) < 0) return false;
    snd_pcm_sw_params_set_avail_min(pcm, sw, period);
    return snd_pcm_sw_params(pcm, sw) >= 0;
}

bool wave_is_format_supported(const WaveFormat* format) {
    return format->wFormatTag == 1 && format->wBitsPerSample == 16 && format->nChannels >= 1 &&
           format->nChannels <= 2 && format->nBlockAlign == format->nChannels * 2 &&
           format->nSamplesPerSec > 0;
}

bool wave_is_device(WaveInHandle device) { return g_device_open && device == &g_device; }

void wave_release(snd_pcm_t* pcm, int wake_fd) {
    if (wake_fd >= 0) close(wake_fd);
    snd_pcm_close(pcm);
}

}  // namespace

void capture_use_device(const char* name) {
    g_device_name = name;
    g_device_named = true;
}

bool capture_server_answers() { return false; }

int wave_in_open(WaveInHandle* device, const WaveFormat* format, WaveInCallback callback,
                 uintptr_t instance) {
    if (device == nullptr || format == nullptr || callback == nullptr) return WAVE_INVALID_PARAMETER;
    *device = nullptr;
    if (g_device_open) return WAVE_ALLOCATED;
    if (!wave_is_format_supported(format)) return WAVE_BAD_FORMAT;

    snd_lib_error_set_handler(wave_quiet_alsa);
    snd_pcm_t* pcm = nullptr;
    int error = snd_pcm_open(&pcm, g_device_name, SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (error < 0) {
        if (g_device_named) {
            std::fprintf(stderr, "sonabar: cannot record from \"%s\": %s; the LEDs stay dark.\n",
                         g_device_name, snd_strerror(error));
        }
        return WAVE_BAD_DEVICE;
    }
    int pcm_fds = snd_pcm_poll_descriptors_count(pcm);
    int nap_ms = 1;
    if (!wave_configure(pcm, format, &nap_ms) || pcm_fds < 1 || pcm_fds > MAX_PCM_FDS) {
        if (g_device_named) {
            std::fprintf(stderr, "sonabar: \"%s\" cannot record 16-bit PCM at %u Hz; the LEDs stay dark.\n",
                         g_device_name, format->nSamplesPerSec);
        }
        wave_release(pcm, -1);
        return WAVE_BAD_FORMAT;
    }
    int wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_fd < 0) {
        wave_release(pcm, -1);
        return WAVE_ERROR;
    }

    g_device = WaveDevice{};
    g_device.pcm = pcm;
    g_device.callback = callback;
    g_device.instance = instance;
    g_device.frame_bytes = format->nBlockAlign;
    g_device.rate = format->nSamplesPerSec;
    g_device.wake_fd = wake_fd;
    g_device.nap_ms = nap_ms;
    g_device.fds[0] = pollfd{wake_fd, POLLIN, 0};
    g_device.pcm_fd_count =
        snd_pcm_poll_descriptors(pcm, &g_device.fds[1], static_cast<unsigned int>(pcm_fds));
    pthread_mutex_init(&g_device.mutex, nullptr);
    pthread_cond_init(&g_device.served, nullptr);
    if (pthread_create(&g_device.thread, nullptr, wave_thread, nullptr) != 0) {
        pthread_cond_destroy(&g_device.served);
        pthread_mutex_destroy(&g_device.mutex);
        wave_release(pcm, wake_fd);
        return WAVE_ERROR;
    }
    g_device_open = true;
    *device = &g_device;
    callback(&g_device, WIM_OPEN, instance, 0, 0);
    return WAVE_OK;
}

int wave_in_prepare_header(WaveInHandle device, WaveHeader* header) {
    if (!wave_is_device(device)) return WAVE_INVALID_HANDLE;
    if (header == nullptr || header->lpData == nullptr || header->dwBufferLength < g_device.frame_bytes) {
        return WAVE_INVALID_PARAMETER;
    }
    if (header->dwFlags & WHDR_INQUEUE) return WAVE_STILL_QUEUED;
    header->dwFlags |= WHDR_PREPARED;
    return WAVE_OK;
}

int wave_in_unprepare_header(WaveInHandle device, WaveHeader* header) {
    if (!wave_is_device(device)) return WAVE_INVALID_HANDLE;
    if (header == nullptr) return WAVE_INVALID_PARAMETER;
    if (header->dwFlags & WHDR_INQUEUE) return WAVE_STILL_QUEUED;
    header->dwFlags &= ~WHDR_PREPARED;
    return WAVE_OK;
}

int wave_in_add_buffer(WaveInHandle device, WaveHeader* header) {
    if (!wave_is_device(device)) return WAVE_INVALID_HANDLE;
    if (header == nullptr) return WAVE_INVALID_PARAMETER;
    if ((header->dwFlags & WHDR_PREPARED) == 0) return WAVE_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVE_STILL_QUEUED;
    pthread_mutex_lock(&g_device.mutex);
    if (g_device.failed) {  // nothing would ever fill it or hand it back
        pthread_mutex_unlock(&g_device.mutex);
        return WAVE_NO_DRIVER;
    }
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header->dwBytesRecorded = 0;
    header->lpNext = nullptr;
    bool was_empty = g_device.head == nullptr;
    if (was_empty) {
        g_device.head = header;
    } else {
        g_device.tail->lpNext = header;
    }
    g_device.tail = header;
    pthread_mutex_unlock(&g_device.mutex);
    if (was_empty) wave_wake();  // the capture thread may be idle for want of a buffer
    return WAVE_OK;
}

int wave_in_start(WaveInHandle device) {
    return wave_is_device(device) ? wave_request(REQUEST_START) : WAVE_INVALID_HANDLE;
}

int wave_in_stop(WaveInHandle device) {
    return wave_is_device(device) ? wave_request(REQUEST_STOP) : WAVE_INVALID_HANDLE;
}

int wave_in_reset(WaveInHandle device) {
    return wave_is_device(device) ? wave_request(REQUEST_RESET) : WAVE_INVALID_HANDLE;
}

// Ends recording and the capture thread whatever is still queued, so that no
// buffer can be touched by the device once this returns.
int wave_in_close(WaveInHandle device) {
    if (!wave_is_device(device)) return WAVE_INVALID_HANDLE;
    wave_request(REQUEST_QUIT);
    pthread_join(g_device.thread, nullptr);
    wave_release(g_device.pcm, g_device.wake_fd);
    pthread_cond_destroy(&g_device.served);
    pthread_mutex_destroy(&g_device.mutex);
    g_device_open = false;
    g_device.callback(&g_device, WIM_CLOSE, g_device.instance, 0, 0);
    g_device = WaveDevice{};
    return WAVE_OK;
}
