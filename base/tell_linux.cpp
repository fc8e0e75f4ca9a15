// Telling the user on Linux: a fixed buffer per call, one write(2) to stderr.
#include "base/tell.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* CLEAR_LINE = "\r\x1b[K";  // to the line's start, and erase it
constexpr size_t LINE_SIZE = 1024;

std::atomic<bool> g_clear_preview{false};
std::atomic<bool> g_preview_taken{false};
static_assert(std::atomic<bool>::is_always_lock_free, "tell flags must be lock-free");

}  // namespace

void tell(const char* format, ...) {
    char line[LINE_SIZE];
    bool clear = g_clear_preview.load(std::memory_order_relaxed);
    size_t length = clear ? std::strlen(CLEAR_LINE) : 0;
    std::memcpy(line, CLEAR_LINE, length);
    va_list arguments;
    va_start(arguments, format);
    int written = std::vsnprintf(line + length, LINE_SIZE - length - 1, format, arguments);
    va_end(arguments);
    if (written < 0) return;
    length += static_cast<size_t>(written) < LINE_SIZE - length - 1 ? static_cast<size_t>(written)
                                                                     : LINE_SIZE - length - 2;
    line[length++] = '\n';
    for (size_t done = 0; done < length;) {
        ssize_t n = write(STDERR_FILENO, line + done, length - done);
        if (n <= 0) break;  // nowhere to tell: nothing else to do
        done += static_cast<size_t>(n);
    }
    if (clear) g_preview_taken.store(true, std::memory_order_relaxed);
}

void tell_clear_preview_line(bool clear) { g_clear_preview.store(clear, std::memory_order_relaxed); }

bool tell_took_preview_line() { return g_preview_taken.exchange(false, std::memory_order_relaxed); }
