// The capture ring over a scriptable stand-in for its operating-system pieces:
// every allocation, lock, event and thread failure of open and start, what
// close gives back and in which order, and a device that will not close. The
// stand-in's worker thread never runs, so these tests see the controlling
// thread's side alone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "audio/capture_ring_peek.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_ring_os.h"
#include "tests/fakes/fake_wave_in.h"

namespace {

constexpr int ALLOCATIONS = 2 * CAPTURE_BUFFERS;  // a buffer and a header per entry

std::vector<std::string> calls(const char* prefix = "") {
    std::vector<std::string> out;
    for (int i = 0; i < fake_log_count(); ++i) {
        const char* what = fake_log_at(i).what;
        if (std::strncmp(what, prefix, std::strlen(prefix)) == 0) out.emplace_back(what);
    }
    return out;
}

std::vector<std::string> device_calls() { return calls("wave_"); }

void expect_headers_set_up() {
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        WaveHeader* h = capture_header(i);
        ASSERT_NE(h, nullptr);
        ASSERT_NE(h->lpData, nullptr);
        EXPECT_EQ(h->dwBufferLength, CAPTURE_BUFFER_BYTES);
        EXPECT_EQ(h->dwBytesRecorded, 0u);
        EXPECT_EQ(h->dwUser, 0u);
        EXPECT_EQ(h->dwFlags, 0u);
        EXPECT_EQ(h->dwLoops, 0u);
        EXPECT_EQ(h->lpNext, nullptr);
        EXPECT_EQ(h->reserved, 0u);
        for (int j = 0; j < i; ++j) EXPECT_NE(capture_header(j)->lpData, h->lpData);
    }
}

std::vector<WaveHeader*> g_handled;

int32_t note_block(WaveHeader* header) {
    g_handled.push_back(header);
    return 0;
}

class CaptureOsTest : public ::testing::Test {
protected:
    void SetUp() override {
        capture_close();
        fake_ring_reset();
        fake_wave_reset();
        fake_log_clear();
        g_handled.clear();
    }
    void TearDown() override {
        capture_close();
        EXPECT_EQ(fake_ring_bad_releases(), 0);
        fake_ring_reset();
    }
};

TEST_F(CaptureOsTest, OpenMakesEightZeroedBuffersForTheCaptureFormat) {
    capture_open();
    ASSERT_TRUE(capture_is_open());
    EXPECT_EQ(fake_ring_allocations(), ALLOCATIONS);
    EXPECT_EQ(fake_ring_live_events(), 1);
    WaveFormat f = fake_wave_format();
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, 1);
    EXPECT_EQ(f.nSamplesPerSec, 44100u);
    EXPECT_EQ(f.nAvgBytesPerSec, 88200u);
    EXPECT_EQ(f.nBlockAlign, 2);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(f.cbSize, 0);
    expect_headers_set_up();
    const char* data = capture_header(7)->lpData;
    for (uint32_t k = 0; k < CAPTURE_BUFFER_BYTES; ++k) ASSERT_EQ(data[k], 0) << k;

    capture_open();  // a second open changes nothing
    EXPECT_EQ(fake_ring_allocations(), ALLOCATIONS);
    EXPECT_EQ(fake_ring_live_events(), 1);
    EXPECT_EQ(device_calls(), std::vector<std::string>{"wave_open"});

    capture_close();
    EXPECT_EQ(fake_ring_live_memory(), 0);
    EXPECT_EQ(fake_ring_live_events(), 0);
}

TEST_F(CaptureOsTest, AnyAllocationFailureLeavesItUnopened) {
    for (int lock = 0; lock < 2; ++lock) {
        for (int n = 0; n < ALLOCATIONS; ++n) {
            SCOPED_TRACE((lock ? "lock " : "allocation ") + std::to_string(n));
            fake_ring_reset();
            fake_log_clear();
            (lock ? g_fake_ring.fail_lock_at : g_fake_ring.fail_alloc_at) = n;
            capture_open();
            EXPECT_FALSE(capture_is_open());
            EXPECT_EQ(fake_ring_live_memory(), n);  // an unlockable block is not kept
            capture_start();
            EXPECT_FALSE(capture_is_running());
            EXPECT_EQ(fake_ring_threads(), 0);
            capture_close();
            EXPECT_EQ(fake_ring_live_memory(), 0);
            EXPECT_EQ(fake_ring_bad_releases(), 0);
            EXPECT_TRUE(device_calls().empty());
        }
    }
}

TEST_F(CaptureOsTest, OpenAfterAFailedOneKeepsWhatWasAllocated) {
    g_fake_ring.fail_alloc_at = 5;
    capture_open();
    ASSERT_FALSE(capture_is_open());
    g_fake_ring.fail_alloc_at = -1;
    capture_open();
    ASSERT_TRUE(capture_is_open());
    EXPECT_EQ(fake_ring_allocations(), ALLOCATIONS);
    EXPECT_EQ(fake_ring_live_memory(), ALLOCATIONS);
    expect_headers_set_up();
}

TEST_F(CaptureOsTest, ADeviceThatCannotBeOpenedLeavesTheMemoryForClose) {
    capture_start();  // before any open
    EXPECT_EQ(fake_ring_threads(), 0);
    g_fake_wave.open_result = 2;
    capture_open();
    EXPECT_FALSE(capture_is_open());
    EXPECT_EQ(fake_ring_live_memory(), ALLOCATIONS);
    EXPECT_EQ(fake_ring_live_events(), 0);
    capture_start();
    EXPECT_EQ(fake_ring_threads(), 0);
    capture_close();
    EXPECT_EQ(fake_ring_live_memory(), 0);
    EXPECT_EQ(device_calls(), std::vector<std::string>{"wave_open"});
}

TEST_F(CaptureOsTest, AnEventThatCannotBeMadeClosesTheDeviceAgain) {
    g_fake_ring.fail_event = true;
    capture_open();
    EXPECT_FALSE(capture_is_open());
    EXPECT_EQ(device_calls(), (std::vector<std::string>{"wave_open", "wave_close"}));
    EXPECT_FALSE(fake_wave_is_open());
    capture_close();
    EXPECT_EQ(device_calls(), (std::vector<std::string>{"wave_open", "wave_close"}));
    EXPECT_EQ(fake_ring_live_memory(), 0);
    EXPECT_EQ(fake_ring_live_events(), 0);
}

TEST_F(CaptureOsTest, AWorkerThatCannotBeCreatedLeavesRecordingOff) {
    g_fake_ring.fail_thread = true;
    capture_open();
    capture_start();
    EXPECT_TRUE(capture_is_running());
    EXPECT_EQ(fake_wave_queued(), CAPTURE_BUFFERS);
    EXPECT_FALSE(fake_wave_is_started());
    EXPECT_TRUE(calls("ring_thread_raise").empty());

    capture_close();
    EXPECT_EQ(fake_wave_queued(), 0);
    EXPECT_EQ(fake_wave_prepared(), 0);
    EXPECT_FALSE(fake_wave_is_open());
    EXPECT_EQ(fake_ring_live_memory(), 0);
    EXPECT_EQ(fake_ring_live_events(), 0);
}

TEST_F(CaptureOsTest, AFailedQueueingLeavesTheEarlierBuffersQueuedUntilClose) {
    g_fake_wave.fail_add_at = 3;
    capture_open();
    capture_start();
    EXPECT_FALSE(capture_is_running());
    EXPECT_EQ(fake_ring_threads(), 0);
    EXPECT_EQ(fake_wave_queued(), 3);
    EXPECT_FALSE(fake_wave_is_started());

    capture_close();
    EXPECT_EQ(fake_wave_queued(), 0);
    EXPECT_EQ(fake_wave_prepared(), 0);
    EXPECT_FALSE(fake_wave_is_open());
    EXPECT_EQ(fake_ring_live_memory(), 0);
}

TEST_F(CaptureOsTest, DeviceNoticesSetNoEvent) {
    capture_open();
    capture_start();
    fake_wave_notice(WIM_OPEN);
    fake_wave_notice(WIM_CLOSE);
    EXPECT_EQ(fake_ring_event_sets(), 0);
    ASSERT_EQ(fake_wave_complete(1), 1);
    EXPECT_EQ(fake_ring_event_sets(), 1);
}

TEST_F(CaptureOsTest, AWakeForABlockAlreadyTakenDoesNothing) {
    capture_open();
    capture_set_block_handler(note_block);
    capture_start();
    std::vector<WaveHeader*> h;
    for (int i = 0; i < 3; ++i) h.push_back(capture_header(i));
    ASSERT_EQ(fake_wave_complete(1), 1);  // entry 0 into the slot
    // Wait 1 answers entry 0's signal. Wait 2 is a second signal with the slot
    // unchanged, as when the worker read the slot between a callback's store
    // and its set. Then entry 1 completes, and the stop hands back entry 2.
    g_fake_ring_on_wait = [](int wait) {
        if (wait == 3) fake_wave_complete(1);
        if (wait == 4) capture_stop();
    };
    fake_log_clear();
    EXPECT_EQ(fake_ring_run_thread(), 0u);  // ends after the stop's block

    EXPECT_EQ(g_handled, h);
    std::vector<std::string> requeue = {"wave_unprepare", "wave_prepare", "wave_add"};
    std::vector<std::string> expected;
    for (const std::string& c : requeue) expected.push_back(c);
    for (const std::string& c : requeue) expected.push_back(c);
    expected.push_back("wave_stop");
    for (const std::string& c : requeue) expected.push_back(c);
    EXPECT_EQ(device_calls(), expected);
    EXPECT_EQ(fake_wave_queued(), CAPTURE_BUFFERS);
}

TEST_F(CaptureOsTest, CloseEndsTheWorkerThenTheDeviceThenFreesTheMemory) {
    capture_open();
    capture_start();
    std::vector<std::string> start = calls("ring_thread");
    EXPECT_EQ(start, (std::vector<std::string>{"ring_thread_create", "ring_thread_raise_priority"}));
    capture_stop();
    fake_log_clear();
    capture_close();

    std::vector<std::string> expected = {"ring_thread_join", "ring_thread_release", "wave_reset"};
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) expected.push_back("wave_unprepare");
    expected.push_back("wave_close");
    expected.push_back("ring_event_destroy");
    for (int i = 0; i < ALLOCATIONS; ++i) expected.push_back("ring_memory_release");
    EXPECT_EQ(calls(), expected);
    EXPECT_EQ(fake_ring_live_memory(), 0);
    EXPECT_EQ(fake_ring_live_events(), 0);
    EXPECT_EQ(fake_wave_prepared(), 0);
}

TEST_F(CaptureOsTest, ADeviceThatWillNotCloseKeepsItsBuffers) {
    g_fake_wave.reset_result = 5;  // nothing comes back, so the close fails
    capture_open();
    capture_start();
    capture_stop();
    capture_close();
    EXPECT_FALSE(capture_is_open());
    EXPECT_EQ(capture_header(0), nullptr);
    EXPECT_TRUE(fake_wave_is_open());
    // The device may still write into them: neither memory nor event is freed.
    EXPECT_EQ(fake_ring_live_memory(), ALLOCATIONS);
    EXPECT_EQ(fake_ring_live_events(), 1);
    EXPECT_TRUE(calls("ring_memory_release").empty());
}

}  // namespace
