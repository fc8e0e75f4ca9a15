// The capture worker's operating-system pieces on Linux: an auto-reset event
// from an eventfd (setting it is one system call that never waits, so a sound
// server's real-time thread may set it; a wait reads the counter back to zero,
// so any number of sets before it wake it once), the worker as a POSIX thread
// (raised to real-time priority where the system allows it, silently normal
// otherwise), and zero-filled memory from calloc, which never moves.
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "audio/ring_os.h"

namespace {

struct LinuxThread {
    pthread_t thread;
    RingThreadEntry entry;
};

void* ring_thread_start(void* parameter) {
    LinuxThread* t = static_cast<LinuxThread*>(parameter);
    pthread_setname_np(pthread_self(), "sonabar-worker");  // for top, perf and the measurements
    t->entry(nullptr);
    return nullptr;
}

constexpr int WORKER_FIFO_PRIORITY = 1;  // below the tick's

int ring_event_fd(RingEvent event) { return static_cast<int>(reinterpret_cast<intptr_t>(event) - 1); }

}  // namespace

// The event is the descriptor, kept in the handle as descriptor + 1 so that
// null stays "no event".
RingEvent ring_event_create() {
    int fd = eventfd(0, EFD_CLOEXEC);
    return fd < 0 ? nullptr : reinterpret_cast<RingEvent>(static_cast<intptr_t>(fd) + 1);
}

void ring_event_set(RingEvent event) {
    uint64_t one = 1;
    ssize_t written = write(ring_event_fd(event), &one, sizeof one);
    (void)written;  // only a counter at its limit refuses, and that one wakes the waiter anyway
}

void ring_event_wait(RingEvent event) {
    uint64_t count;
    while (read(ring_event_fd(event), &count, sizeof count) < 0 && errno == EINTR) {
    }
}

void ring_event_destroy(RingEvent event) {
    if (event != nullptr) close(ring_event_fd(event));
}

RingThread ring_thread_create(RingThreadEntry entry) {
    LinuxThread* t = static_cast<LinuxThread*>(std::calloc(1, sizeof(LinuxThread)));
    if (t == nullptr) return nullptr;
    t->entry = entry;
    if (pthread_create(&t->thread, nullptr, ring_thread_start, t) != 0) {
        std::free(t);
        return nullptr;
    }
    return t;
}

void ring_thread_raise_priority(RingThread thread) {
    LinuxThread* t = static_cast<LinuxThread*>(thread);
    sched_param param{};
    param.sched_priority = WORKER_FIFO_PRIORITY;
    pthread_setschedparam(t->thread, SCHED_FIFO, &param);  // refused without privilege: stays normal
}

void ring_thread_join(RingThread thread) {
    LinuxThread* t = static_cast<LinuxThread*>(thread);
    pthread_join(t->thread, nullptr);
}

void ring_thread_release(RingThread thread) { std::free(thread); }

RingMemory ring_memory_alloc(uint32_t bytes) { return std::calloc(1, bytes); }

void* ring_memory_lock(RingMemory memory) { return memory; }

void ring_memory_release(RingMemory memory) { std::free(memory); }
