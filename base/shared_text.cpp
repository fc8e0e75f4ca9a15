// The shared text's writer and reader: a sequence lock over relaxed atomic
// characters, ordered by a release fence after the number turns odd and an
// acquire fence before it is read again, so that a reader which sees the same
// even number on both sides saw no character of a later write.
#include "base/shared_text.h"

void shared_text_write(SharedText& shared, const char* text) {
    const uint32_t sequence = shared.sequence.load(std::memory_order_relaxed);
    shared.sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    int i = 0;
    for (; i < SHARED_TEXT_SIZE - 1 && text[i] != '\0'; ++i) shared.text[i].store(text[i], std::memory_order_relaxed);
    shared.text[i].store('\0', std::memory_order_relaxed);
    shared.sequence.store(sequence + 2, std::memory_order_release);
}

bool shared_text_read(const SharedText& shared, char* copy, int size) {
    const uint32_t before = shared.sequence.load(std::memory_order_acquire);
    int i = 0;
    for (; i < size - 1 && i < SHARED_TEXT_SIZE; ++i) {
        copy[i] = shared.text[i].load(std::memory_order_relaxed);
        if (copy[i] == '\0') break;
    }
    copy[i] = '\0';
    std::atomic_thread_fence(std::memory_order_acquire);
    return (before & 1) == 0 && shared.sequence.load(std::memory_order_relaxed) == before;
}
