// The capture ring's operating-system pieces on POSIX systems, where the
// ring's tests and fuzz targets run it (the Linux program itself records
// without the ring, audio/listen.cpp): an auto-reset event from a mutex and a
// condition variable, the worker as a POSIX thread (raised to real-time
// priority where the system allows it, silently normal otherwise), and
// zero-filled memory from calloc, which never moves.
#include <pthread.h>
#include <sched.h>

#include <cstdlib>

#include "audio/ring_os.h"

namespace {

struct LinuxEvent {
    pthread_mutex_t mutex;
    pthread_cond_t cond;
    bool signalled;
};

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

}  // namespace

RingEvent ring_event_create() {
    LinuxEvent* e = static_cast<LinuxEvent*>(std::calloc(1, sizeof(LinuxEvent)));
    if (e == nullptr) return nullptr;
    pthread_mutex_init(&e->mutex, nullptr);
    pthread_cond_init(&e->cond, nullptr);
    e->signalled = false;
    return e;
}

// Signals after unlocking: the worker runs at real-time priority, so a waiter
// woken while the mutex is still held would preempt the setter only to block
// on the mutex and be woken a second time when it is released. The waiter
// checks the flag under the mutex, so no wake-up is lost.
void ring_event_set(RingEvent event) {
    LinuxEvent* e = static_cast<LinuxEvent*>(event);
    pthread_mutex_lock(&e->mutex);
    e->signalled = true;
    pthread_mutex_unlock(&e->mutex);
    pthread_cond_signal(&e->cond);
}

void ring_event_wait(RingEvent event) {
    LinuxEvent* e = static_cast<LinuxEvent*>(event);
    pthread_mutex_lock(&e->mutex);
    while (!e->signalled) pthread_cond_wait(&e->cond, &e->mutex);
    e->signalled = false;
    pthread_mutex_unlock(&e->mutex);
}

void ring_event_destroy(RingEvent event) {
    LinuxEvent* e = static_cast<LinuxEvent*>(event);
    if (e == nullptr) return;
    pthread_cond_destroy(&e->cond);
    pthread_mutex_destroy(&e->mutex);
    std::free(e);
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
