// The hand-over of register writes from the threads that write the port to
// the preview's drawing thread: a bounded queue that never blocks a writer.
// Several threads write the port (the tick; the UI thread at start-up, on a
// display-size switch and at exit), one thread reads. A write that finds the
// queue full is dropped; every tick rewrites the whole frame, so
// the preview repairs itself at the next one. Fixed storage: nothing is
// allocated after start-up.
#pragma once
#include <cstdint>

struct PreviewWrite {
    uint16_t offset;  // register, relative to the port's base address
    uint8_t value;
};

constexpr uint32_t PREVIEW_QUEUE_SLOTS = 1024;  // about 1.7 s of 16-LED frames

// Empties the queue; only while no thread uses it.
void preview_queue_reset();
// Any thread: queues one write; false when the queue is full (the write is dropped).
bool preview_queue_push(uint16_t offset, uint8_t value);
// The one reading thread: takes the oldest write; false when there is none.
bool preview_queue_pop(PreviewWrite* write);
