// The ALSA wave input device, run against ALSA's "null" capture device, which
// delivers silence as fast as it is read: queued buffers come back full, in
// the order queued, through the callback on the device's own thread; reset
// hands back every queued buffer before it returns; the header rules of the
// wave-input calls hold; close ends everything even with buffers queued.
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>

#include "audio/wave_in.h"
#include "audio/capture_linux.h"

namespace {

constexpr int BUFFERS = 3;
constexpr uint32_t BYTES = 4096;
constexpr int MAX_EVENTS = 64;

struct Event {
    uint32_t message;
    WaveHeader* header;
    uint32_t bytes;
    bool on_caller_thread;
};

Event g_events[MAX_EVENTS];
std::atomic<int> g_event_count{0};
pthread_t g_caller;

void record(WaveInHandle, uint32_t message, uintptr_t, uintptr_t param1, uintptr_t) {
    int i = g_event_count.load();
    if (i >= MAX_EVENTS) return;
    WaveHeader* header = reinterpret_cast<WaveHeader*>(param1);
    g_events[i] = Event{message, header, header != nullptr ? header->dwBytesRecorded : 0,
                        pthread_equal(pthread_self(), g_caller) != 0};
    g_event_count.store(i + 1);
}

const WaveFormat FORMAT = {1, 1, 44100, 88200, 2, 16, 0};

class WaveInLinux : public ::testing::Test {
protected:
    void SetUp() override {
        g_event_count = 0;
        g_caller = pthread_self();
        capture_use_device("null");
        for (int i = 0; i < BUFFERS; ++i) {
            headers_[i] = WaveHeader{};
            headers_[i].lpData = data_[i];
            headers_[i].dwBufferLength = BYTES;
        }
        ASSERT_EQ(wave_in_open(&device_, &FORMAT, record, 7), 0);
        ASSERT_NE(device_, nullptr);
    }
    void TearDown() override {
        if (device_ != nullptr) {
            EXPECT_EQ(wave_in_close(device_), 0);
        }
        capture_use_device("default");
    }
    void queue_all() {
        for (WaveHeader& header : headers_) {
            ASSERT_EQ(wave_in_prepare_header(device_, &header), 0);
            ASSERT_EQ(wave_in_add_buffer(device_, &header), 0);
        }
    }
    // Data events after the open notice.
    int data_events() const { return g_event_count.load() - 1; }
    bool wait_for_data(int count) const {
        for (int i = 0; i < 1000 && data_events() < count; ++i) usleep(1000);
        return data_events() >= count;
    }

    WaveInHandle device_ = nullptr;
    WaveHeader headers_[BUFFERS];
    char data_[BUFFERS][BYTES];
};

TEST_F(WaveInLinux, FillsQueuedBuffersInOrderOnItsOwnThread) {
    queue_all();
    ASSERT_EQ(wave_in_start(device_), 0);
    ASSERT_TRUE(wait_for_data(BUFFERS));
    EXPECT_EQ(g_events[0].message, WIM_OPEN);
    for (int i = 0; i < BUFFERS; ++i) {
        const Event& e = g_events[1 + i];
        EXPECT_EQ(e.message, WIM_DATA);
        EXPECT_EQ(e.header, &headers_[i]);
        EXPECT_EQ(e.bytes, BYTES);
        EXPECT_FALSE(e.on_caller_thread);
        EXPECT_EQ(headers_[i].dwFlags, WHDR_PREPARED | WHDR_DONE);
    }
    // A buffer given back is filled again, after the others.
    ASSERT_EQ(wave_in_add_buffer(device_, &headers_[1]), 0);
    ASSERT_TRUE(wait_for_data(BUFFERS + 1));
    EXPECT_EQ(g_events[1 + BUFFERS].header, &headers_[1]);
    EXPECT_EQ(wave_in_stop(device_), 0);
    EXPECT_EQ(data_events(), BUFFERS + 1);  // nothing was queued, nothing more comes back
}

TEST_F(WaveInLinux, ResetHandsBackEveryQueuedBufferBeforeItReturns) {
    queue_all();
    EXPECT_EQ(wave_in_reset(device_), 0);
    ASSERT_EQ(data_events(), BUFFERS);
    for (int i = 0; i < BUFFERS; ++i) {
        EXPECT_EQ(g_events[1 + i].header, &headers_[i]);
        EXPECT_EQ(g_events[1 + i].bytes, 0u);
        EXPECT_EQ(wave_in_unprepare_header(device_, &headers_[i]), 0);
    }
}

TEST_F(WaveInLinux, StopBeforeStartHandsNothingBack) {
    queue_all();
    EXPECT_EQ(wave_in_stop(device_), 0);
    EXPECT_EQ(data_events(), 0);
}

TEST_F(WaveInLinux, KeepsTheHeaderRules) {
    WaveHeader& header = headers_[0];
    EXPECT_EQ(wave_in_add_buffer(device_, &header), 34);  // not prepared
    ASSERT_EQ(wave_in_prepare_header(device_, &header), 0);
    ASSERT_EQ(wave_in_add_buffer(device_, &header), 0);
    EXPECT_EQ(wave_in_add_buffer(device_, &header), 33);        // already queued
    EXPECT_EQ(wave_in_unprepare_header(device_, &header), 33);  // still queued
    EXPECT_EQ(header.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);
    WaveHeader empty{};
    EXPECT_NE(wave_in_prepare_header(device_, &empty), 0);  // no buffer
    EXPECT_EQ(wave_in_start(nullptr), 5);
    WaveInHandle second = nullptr;
    EXPECT_EQ(wave_in_open(&second, &FORMAT, record, 0), 4);  // one device at a time
    EXPECT_EQ(second, nullptr);
}

TEST_F(WaveInLinux, CloseEndsRecordingWithBuffersStillQueued) {
    queue_all();
    ASSERT_EQ(wave_in_start(device_), 0);
    ASSERT_EQ(wave_in_close(device_), 0);
    device_ = nullptr;
    int events = g_event_count.load();
    EXPECT_EQ(g_events[events - 1].message, WIM_CLOSE);
    usleep(20000);
    EXPECT_EQ(g_event_count.load(), events);  // nothing after the close
    // The device can be opened again.
    ASSERT_EQ(wave_in_open(&device_, &FORMAT, record, 0), 0);
}

TEST(WaveInLinuxOpen, RefusesAMissingDeviceAndFormatsItCannotRecord) {
    WaveInHandle device = nullptr;
    capture_use_device("sonabar_no_such_device");
    EXPECT_EQ(wave_in_open(&device, &FORMAT, record, 0), 2);
    EXPECT_EQ(device, nullptr);
    capture_use_device("null");
    WaveFormat eight_bit = FORMAT;
    eight_bit.wBitsPerSample = 8;
    eight_bit.nBlockAlign = 1;
    EXPECT_EQ(wave_in_open(&device, &eight_bit, record, 0), 32);
    WaveFormat not_pcm = FORMAT;
    not_pcm.wFormatTag = 3;
    EXPECT_EQ(wave_in_open(&device, &not_pcm, record, 0), 32);
    capture_use_device("default");
}

}  // namespace
