// The preview's drawing thread. It wakes on the tick's grid (absolute
// deadlines, 10 ms), takes every register write queued since, plays them into
// the LED board model and, when the picture has changed, writes one line to
// stdout: redrawn in place with colours on a terminal, plain and at most ten
// lines a second elsewhere. Drawing never holds up the program: stdout is
// written only when it can take the line (a stuck terminal skips frames, a
// closed pipe ends the preview), and only this thread writes it, with
// SIGPIPE blocked. Fixed buffers: nothing is allocated while drawing.
#include "preview/preview_linux.h"

#include <langinfo.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "base/monotonic_clock_linux.h"
#include "app/options.h"
#include "base/tell.h"
#include "port/port.h"
#include "port/port_linux.h"
#include "preview/preview_line.h"
#include "preview/preview_queue.h"

namespace {

constexpr int64_t DRAW_PERIOD_NS = 10 * 1000000;         // the tick's period
constexpr int64_t PLAIN_PERIOD_NS = 100 * 1000000;       // plain lines: ten a second at most
constexpr int FINAL_WRITE_PATIENCE_MS = 200;
constexpr size_t LINE_SIZE = 512;

struct Preview {
    pthread_t thread;
    bool running;  // main thread only
    LedBoard board;
    PreviewStyle style;
    const char* latch_caption;
    bool seen_write;    // nothing is drawn before the program's first register write
    bool output_dead;   // stdout is gone: stop drawing
    bool stderr_shared; // stderr goes to a terminal as well (the same one, as a rule)
    int64_t last_drawn_ns;
    char line[LINE_SIZE];
    char last_line[LINE_SIZE];
};

Preview g_preview;
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "stop flag must be lock-free");

// Runs on the threads that write the port: hands the write over and returns.
void preview_tap(uint16_t port, uint8_t value) {
    preview_queue_push(static_cast<uint16_t>(port - g_port_base), value);
}

// Writes all of `text` when stdout takes it within `patience_ms`.
bool preview_output(const char* text, size_t length, int patience_ms) {
    while (length > 0) {
        pollfd out{STDOUT_FILENO, POLLOUT, 0};
        if (poll(&out, 1, patience_ms) <= 0) return false;
        if (out.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            g_preview.output_dead = true;
            return false;
        }
        ssize_t written = write(STDOUT_FILENO, text, length);
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            g_preview.output_dead = true;
            return false;
        }
        text += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

void preview_take_writes() {
    PreviewWrite write;
    while (preview_queue_pop(&write)) {
        board_write(&g_preview.board, write.offset, write.value);
        g_preview.seen_write = true;
    }
}

// Draws the board when it shows something new (or always, when `final`).
void preview_draw(bool final) {
    if (!g_preview.seen_write || g_preview.output_dead) return;
    if (tell_took_preview_line()) g_preview.last_line[0] = '\0';  // a told line took its place
    int64_t now = monotonic_now_ns();
    if (!final && !g_preview.style.terminal && now - g_preview.last_drawn_ns < PLAIN_PERIOD_NS) return;
    bool sixteen = g_sixteen_mode.load(std::memory_order_relaxed) != 0;
    uint16_t leds = sixteen ? board_latched_leds(&g_preview.board) : board_direct_leds(&g_preview.board);
    const char* caption = sixteen ? g_preview.latch_caption : "8 LEDs";
    size_t length = preview_line(g_preview.line, LINE_SIZE, leds, sixteen ? 16 : 8, caption, g_preview.style);
    if (std::strcmp(g_preview.line, g_preview.last_line) == 0) return;
    if (!preview_output(g_preview.line, length, final ? FINAL_WRITE_PATIENCE_MS : 0)) return;
    std::memcpy(g_preview.last_line, g_preview.line, length + 1);
    g_preview.last_drawn_ns = now;
    // From the first drawing on, a line told on the same terminal takes the LEDs' place.
    if (g_preview.style.terminal && g_preview.stderr_shared) tell_clear_preview_line(true);
}

void* preview_thread(void*) {
    pthread_setname_np(pthread_self(), "sonabar-preview");
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);  // signals go to the program; a broken pipe gives EPIPE here
    int64_t deadline = monotonic_now_ns() + DRAW_PERIOD_NS;
    // Acquire, paired with preview_stop's release: the writes queued before the
    // stop (the dark display at exit) are seen by the last drain below.
    while (!g_stop.load(std::memory_order_acquire)) {
        monotonic_sleep_until(deadline);
        preview_take_writes();
        preview_draw(false);
        deadline = monotonic_next_deadline(deadline, DRAW_PERIOD_NS, monotonic_now_ns());
    }
    // The program has ended: the last writes are the dark display.
    preview_take_writes();
    preview_draw(true);
    if (g_preview.style.terminal && g_preview.last_line[0] != '\0' && !g_preview.output_dead) {
        preview_output("\n", 1, FINAL_WRITE_PATIENCE_MS);
    }
    return nullptr;
}

bool preview_utf8() {
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
}

}  // namespace

int preview_start(BoardLatch latch) {
    if (g_preview.running) return 0;
    g_preview = Preview{};
    board_reset(&g_preview.board, latch);
    g_preview.style.terminal = isatty(STDOUT_FILENO) == 1;
    g_preview.style.utf8 = g_preview.style.terminal && preview_utf8();
    g_preview.stderr_shared = isatty(STDERR_FILENO) == 1;
    g_preview.latch_caption = latch == BOARD_LATCH_EDGE ? "16 LEDs, edge-triggered latches" : "16 LEDs";
    preview_queue_reset();
    g_stop.store(false, std::memory_order_relaxed);
    // The thread is created before any other: what is set here is ordered before it runs.
    int error = pthread_create(&g_preview.thread, nullptr, preview_thread, nullptr);
    if (error != 0) {
        std::fprintf(stderr, "sonabar: the preview cannot start: %s\n", std::strerror(error));
        return 1;
    }
    g_preview.running = true;
    port_set_optional(true);
    port_set_tap(preview_tap);
    return 0;
}

void preview_stop() {
    if (!g_preview.running) return;
    g_stop.store(true, std::memory_order_release);
    pthread_join(g_preview.thread, nullptr);
    g_preview.running = false;
}
