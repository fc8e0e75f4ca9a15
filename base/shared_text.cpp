// The shared text's writer and reader: a sequence lock without fences. The
// writer makes the number odd, then stores each character with release
// order; a reader that loads (with acquire) a character of a write that
// began after its first look at the number therefore also sees that number
// made odd, so its second look differs. And a reader whose first look (with
// acquire) finds the even number a write ended with sees all of that write's
// characters.
#include "base/shared_text.h"

void shared_text_write(SharedText& shared, const char* text) {
    const uint32_t sequence = shared.sequence.load(std::memory_order_relaxed);
    shared.sequence.store(sequence + 1, std::memory_order_relaxed);
    int i = 0;
    for (; i < SHARED_TEXT_SIZE - 1 && text[i] != '\0'; ++i) shared.text[i].store(text[i], std::memory_order_release);
    shared.text[i].store('\0', std::memory_order_release);
    shared.sequence.store(sequence + 2, std::memory_order_release);
}

bool shared_text_read(const SharedText& shared, char* copy, int size) {
    const uint32_t before = shared.sequence.load(std::memory_order_acquire);
    int i = 0;
    for (; i < size - 1 && i < SHARED_TEXT_SIZE; ++i) {
        copy[i] = shared.text[i].load(std::memory_order_acquire);
        if (copy[i] == '\0') break;
    }
    copy[i] = '\0';
    return (before & 1) == 0 && shared.sequence.load(std::memory_order_relaxed) == before;
}
