// A short text that one thread writes and others read, without a lock and
// without allocation: a sequence number, odd while a write is under way and
// even otherwise, guards a fixed array of characters, each an atomic.
// A reader copies the text between two readings of the number and keeps the
// copy only when both were the same even number; when a write came in
// between it reports that instead of waiting, and reads again later. Used for
// what the capture tells the tray: the cause of a lost sound, written on a
// recording thread, read on the UI thread.
#pragma once
#include <atomic>
#include <cstdint>

constexpr int SHARED_TEXT_SIZE = 160;

struct SharedText {
    std::atomic<uint32_t> sequence;
    std::atomic<char> text[SHARED_TEXT_SIZE];
};
static_assert(std::atomic<uint32_t>::is_always_lock_free && std::atomic<char>::is_always_lock_free,
              "the shared text must be lock-free");

// Writes `text` (cut to SHARED_TEXT_SIZE - 1 characters); one writer at a time.
void shared_text_write(SharedText& shared, const char* text);
// Copies the text into `copy` (`size` bytes, always terminated): true, or
// false when a write was under way (the copy is then not to be used).
bool shared_text_read(const SharedText& shared, char* copy, int size);
