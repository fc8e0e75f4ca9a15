// The capture ring with its real worker thread and event (the Linux ring_os
// file) over the scripted wave device: the rotation of the eight buffers, the
// handler's sole hold on its block (never a buffer already queued again), the
// newest-block hand-off when the worker falls behind, a completion that
// arrives during its own buffer's re-queue, the state guards, and an orderly
// end in every state the worker can be in. Waits are condition waits; their
// time-outs only guard against a hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/capture_ring_peek.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_wave_in.h"

namespace {

constexpr auto HANG_GUARD = std::chrono::seconds(20);

// What the block handler saw; while g_hold is set it keeps the worker inside.
std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<WaveHeader*> g_seen;
std::vector<int16_t> g_seen_sample;   // each block's first sample
std::vector<uint32_t> g_seen_bytes;   // each block's dwBytesRecorded
bool g_hold = false;

int32_t record_block(WaveHeader* header) {
    // The handler must have the buffer to itself: once it is queued again the
    // device may be filling it while the handler reads.
    EXPECT_FALSE(fake_wave_holds(header))
        << "the handler got a block whose buffer was already back at the device: "
           "the worker must hand the block to the handler first and queue its buffer after";
    std::unique_lock<std::mutex> lock(g_mutex);
    g_seen.push_back(header);
    int16_t sample;
    std::memcpy(&sample, header->lpData, sizeof sample);
    g_seen_sample.push_back(sample);
    g_seen_bytes.push_back(header->dwBytesRecorded);
    g_changed.notify_all();
    g_changed.wait_for(lock, HANG_GUARD, [] { return !g_hold; });
    return 0;
}

void hold_worker(bool hold) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_hold = hold;
    g_changed.notify_all();
}

bool wait_seen(size_t count) {
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_changed.wait_for(lock, HANG_GUARD, [count] { return g_seen.size() >= count; });
}

std::vector<WaveHeader*> seen() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_seen;
}

std::vector<int16_t> seen_samples() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_seen_sample;
}

std::vector<uint32_t> seen_bytes() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_seen_bytes;
}

// The ring's headers as the last open made them, still known after close.
WaveHeader* g_entries[CAPTURE_BUFFERS];

void remember_entries() {
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) g_entries[i] = capture_header(i);
}

WaveHeader* entry(int i) { return g_entries[i]; }

// Entries i, i+1, ... (modulo 8) of the ring, `count` of them.
std::vector<WaveHeader*> rotation(int first, int count) {
    std::vector<WaveHeader*> out;
    for (int k = 0; k < count; ++k) out.push_back(entry((first + k) % CAPTURE_BUFFERS));
    return out;
}

std::string entry_name(intptr_t header) {
    if (header == 0) return "";
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) {
        if (reinterpret_cast<intptr_t>(entry(i)) == header) return std::to_string(i);
    }
    return "?";
}

// The device calls logged from `from` on, as "wave_add 3" (entry 3) or "wave_stop".
// Read only once every thread that logs has been synchronised with.
std::vector<std::string> device_calls(int from = 0) {
    std::vector<std::string> out;
    for (int i = from; i < fake_log_count(); ++i) {
        FakeEvent e = fake_log_at(i);
        if (std::strncmp(e.what, "wave_", 5) != 0) continue;
        std::string entry = entry_name(static_cast<intptr_t>(e.a));
        out.push_back(entry.empty() ? std::string(e.what) : std::string(e.what) + " " + entry);
    }
    return out;
}

std::vector<std::string> requeues(const std::vector<WaveHeader*>& headers) {
    std::vector<std::string> out;
    for (WaveHeader* h : headers) {
        std::string entry = entry_name(reinterpret_cast<intptr_t>(h));
        out.push_back("wave_unprepare " + entry);
        out.push_back("wave_prepare " + entry);
        out.push_back("wave_add " + entry);
    }
    return out;
}

// The device calls after recording started.
std::vector<std::string> calls_after_start() {
    std::vector<std::string> calls = device_calls();
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i] == "wave_start") return std::vector<std::string>(calls.begin() + i + 1, calls.end());
    }
    return {};
}

int count_of(const std::vector<std::string>& calls, const std::string& what) {
    int n = 0;
    for (const std::string& c : calls) n += c == what ? 1 : 0;
    return n;
}

// Completes one block and waits until the worker has queued a buffer again.
void complete_one(int16_t sample = 0) {
    int64_t adds = fake_wave_adds();
    ASSERT_EQ(fake_wave_complete(1, sample), 1);
    ASSERT_TRUE(fake_wave_wait_adds(adds + 1));
}

// The end every orderly close must reach, whatever came before.
void expect_orderly_end() {
    EXPECT_FALSE(capture_is_open());
    EXPECT_FALSE(capture_is_running());
    EXPECT_EQ(capture_header(0), nullptr);
    EXPECT_FALSE(fake_wave_is_open());
    EXPECT_EQ(fake_wave_queued(), 0);
    EXPECT_EQ(fake_wave_prepared(), 0);
    std::vector<std::string> calls = device_calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "wave_close");
}

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        capture_close();
        fake_wave_reset();
        fake_log_clear();
        std::lock_guard<std::mutex> lock(g_mutex);
        g_seen.clear();
        g_seen_sample.clear();
        g_seen_bytes.clear();
        g_seen.reserve(64);
        g_hold = false;
    }
    void TearDown() override {
        hold_worker(false);
        capture_close();
    }
    static void open_and_start(BlockHandler handler) {
        capture_open();
        remember_entries();
        capture_set_block_handler(handler);
        capture_start();
        ASSERT_TRUE(capture_is_running());
    }
};

TEST_F(CaptureTest, BuffersComeBackInAFixedRotation) {
    open_and_start(record_block);
    std::vector<std::string> start = {"wave_open"};
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) {
        start.push_back("wave_prepare " + std::to_string(i));
        start.push_back("wave_add " + std::to_string(i));
    }
    start.push_back("wave_start");
    EXPECT_EQ(device_calls(), start);

    for (int n = 0; n < 3 * CAPTURE_BUFFERS; ++n) complete_one(static_cast<int16_t>(n + 1));

    EXPECT_EQ(seen(), rotation(0, 24));
    std::vector<int16_t> samples = seen_samples();
    for (int n = 0; n < 24; ++n) EXPECT_EQ(samples[n], n + 1) << "block " << n;
    EXPECT_EQ(calls_after_start(), requeues(rotation(0, 24)));
    EXPECT_EQ(fake_wave_queued(), CAPTURE_BUFFERS);
}

TEST_F(CaptureTest, WithoutAHandlerBuffersStillRotate) {
    capture_open();
    remember_entries();
    capture_start();
    for (int n = 0; n < 2 * CAPTURE_BUFFERS; ++n) complete_one();
    EXPECT_EQ(calls_after_start(), requeues(rotation(0, 16)));
    EXPECT_EQ(fake_wave_queued(), CAPTURE_BUFFERS);
}

TEST_F(CaptureTest, AWorkerBehindSeesOnlyTheNewestBlockButRequeuesThemAll) {
    open_and_start(record_block);
    hold_worker(true);
    ASSERT_EQ(fake_wave_complete(1, 1), 1);
    ASSERT_TRUE(wait_seen(1));  // the worker is inside the handler with entry 0
    ASSERT_EQ(fake_wave_complete(1, 2), 1);
    ASSERT_EQ(fake_wave_complete(1, 3), 1);
    hold_worker(false);
    ASSERT_TRUE(fake_wave_wait_adds(CAPTURE_BUFFERS + 3));

    EXPECT_EQ(seen(), (std::vector<WaveHeader*>{entry(0), entry(2)}));
    EXPECT_EQ(seen_samples(), (std::vector<int16_t>{1, 3}));
    EXPECT_EQ(calls_after_start(), requeues(rotation(0, 3)));

    // All eight are still in circulation: the rotation goes on unbroken.
    for (int n = 0; n < CAPTURE_BUFFERS; ++n) complete_one();
    std::vector<WaveHeader*> expected = {entry(0), entry(2)};
    for (WaveHeader* h : rotation(3, 8)) expected.push_back(h);
    EXPECT_EQ(seen(), expected);
    EXPECT_EQ(calls_after_start(), requeues(rotation(0, 11)));
    EXPECT_EQ(fake_wave_queued(), CAPTURE_BUFFERS);
}

// A device that has run dry fills a buffer the moment it is queued again, so
// the completion arrives while the worker is still inside the re-queue. The
// ring must have cleared the buffer's earlier completion before queueing it,
// or it would erase this new one and lose the buffer, and with it every
// buffer displaced behind it.
TEST_F(CaptureTest, ABufferFilledAsSoonAsItIsQueuedAgainIsNotLost) {
    open_and_start(record_block);
    hold_worker(true);
    ASSERT_EQ(fake_wave_complete(1, 1), 1);
    ASSERT_TRUE(wait_seen(1));  // the worker holds entry 0
    ASSERT_EQ(fake_wave_complete(CAPTURE_BUFFERS - 1, 2), CAPTURE_BUFFERS - 1);  // the device runs dry
    g_fake_wave.fill_at_once = 1;
    hold_worker(false);
    EXPECT_TRUE(fake_wave_wait_adds(2 * CAPTURE_BUFFERS + 1))
        << "a buffer completed during its own re-queue was lost: clear its completion before queueing it";
    EXPECT_EQ(seen(), (std::vector<WaveHeader*>{entry(0), entry(0)}));
    EXPECT_EQ(fake_wave_queued(), CAPTURE_BUFFERS);
}

TEST_F(CaptureTest, DeviceNoticesNeitherWakeTheWorkerNorFillTheSlot) {
    open_and_start(record_block);
    complete_one();
    int mark = fake_log_count();
    // A notice that carried a queued header would, if taken for data, have the
    // worker hand it to the handler and try to queue it again.
    fake_wave_notice(WIM_OPEN, reinterpret_cast<uintptr_t>(capture_header(1)));
    fake_wave_notice(WIM_CLOSE, reinterpret_cast<uintptr_t>(capture_header(2)));
    complete_one();
    EXPECT_EQ(seen(), rotation(0, 2));
    EXPECT_EQ(device_calls(mark), requeues(rotation(1, 1)));
}

TEST_F(CaptureTest, ThePartFilledBlockOfAStopIsHandledLikeAFullOne) {
    open_and_start(record_block);
    for (int n = 0; n < 3; ++n) complete_one();
    capture_stop();
    EXPECT_FALSE(capture_is_running());
    ASSERT_TRUE(wait_seen(4));
    ASSERT_TRUE(fake_wave_wait_adds(CAPTURE_BUFFERS + 4));
    EXPECT_EQ(seen(), rotation(0, 4));
    EXPECT_EQ(seen_bytes(), (std::vector<uint32_t>{4096, 4096, 4096, 100}));
    EXPECT_EQ(calls_after_start(), (std::vector<std::string>{
        "wave_unprepare 0", "wave_prepare 0", "wave_add 0", "wave_unprepare 1", "wave_prepare 1",
        "wave_add 1", "wave_unprepare 2", "wave_prepare 2", "wave_add 2", "wave_stop",
        "wave_unprepare 3", "wave_prepare 3", "wave_add 3"}));
}

TEST_F(CaptureTest, StateGuards) {
    // Start and stop before any open: nothing happens.
    capture_start();
    capture_stop();
    EXPECT_FALSE(capture_is_running());
    EXPECT_TRUE(device_calls().empty());

    // A second open keeps the first buffers and the first device.
    capture_open();
    ASSERT_TRUE(capture_is_open());
    remember_entries();
    capture_open();
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) EXPECT_EQ(capture_header(i), entry(i));
    EXPECT_EQ(device_calls(), std::vector<std::string>{"wave_open"});

    // Stop while open but not running does nothing.
    capture_stop();
    EXPECT_EQ(device_calls(), std::vector<std::string>{"wave_open"});

    // A second start while running makes no second worker and queues nothing.
    capture_start();
    int mark = fake_log_count();
    capture_start();
    EXPECT_TRUE(device_calls(mark).empty());

    // Close after a successful stop does not stop again.
    capture_stop();
    capture_close();
    EXPECT_EQ(count_of(device_calls(), "wave_stop"), 1);
    expect_orderly_end();
}

TEST_F(CaptureTest, AFailedOpenLeavesItClosedAndCloseTouchesNoDevice) {
    g_fake_wave.open_result = 2;
    capture_open();
    EXPECT_FALSE(capture_is_open());
    capture_set_block_handler(record_block);
    capture_start();
    capture_stop();
    EXPECT_FALSE(capture_is_running());
    capture_close();
    EXPECT_EQ(device_calls(), std::vector<std::string>{"wave_open"});
    EXPECT_EQ(capture_header(0), nullptr);

    // The next open works.
    fake_wave_reset();
    open_and_start(record_block);
    complete_one();
    EXPECT_EQ(seen(), rotation(0, 1));
}

TEST_F(CaptureTest, CloseEndsAWorkerWaitingForABlockThatWillNotCome) {
    g_fake_wave.stop_hands_back = false;
    open_and_start(record_block);
    for (int n = 0; n < 3; ++n) complete_one();
    capture_stop();  // hands nothing back: the worker stays in its wait
    ASSERT_FALSE(capture_is_running());
    int mark = fake_log_count();
    capture_close();

    // Woken for its end, the worker neither analysed nor touched the device:
    // after close began there are only the reset, the unprepares and the close.
    EXPECT_EQ(seen().size(), 3u);
    std::vector<std::string> expected = {"wave_reset"};
    for (int i = 0; i < CAPTURE_BUFFERS; ++i) expected.push_back("wave_unprepare " + std::to_string(i));
    expected.push_back("wave_close");
    EXPECT_EQ(device_calls(mark), expected);
    expect_orderly_end();
}

TEST_F(CaptureTest, CloseWaitsForAWorkerBusyWithABlock) {
    g_fake_wave.stop_hands_back = false;  // the close's stop brings no further block
    open_and_start(record_block);
    hold_worker(true);
    ASSERT_EQ(fake_wave_complete(1), 1);
    ASSERT_TRUE(wait_seen(1));
    std::thread closer(capture_close);
    // The close has begun once the device is stopped; it now waits for the worker.
    for (auto start = std::chrono::steady_clock::now();
         fake_wave_is_started() && std::chrono::steady_clock::now() - start < HANG_GUARD;)
        std::this_thread::yield();
    hold_worker(false);
    closer.join();

    EXPECT_EQ(seen().size(), 1u);
    std::vector<std::string> calls = device_calls();
    // The worker finished its block (three calls on entry 0) before the
    // device handed the queued buffers back.
    auto reset = std::find(calls.begin(), calls.end(), "wave_reset");
    ASSERT_NE(reset, calls.end());
    int requeue_calls = 0;
    for (auto c = calls.begin(); c != reset; ++c) requeue_calls += c->rfind("wave_add", 0) == 0 ? 1 : 0;
    EXPECT_EQ(requeue_calls, CAPTURE_BUFFERS + 1);
    std::vector<std::string> after_reset(reset, calls.end());
    EXPECT_EQ(after_reset, (std::vector<std::string>{
        "wave_reset", "wave_unprepare 0", "wave_unprepare 1", "wave_unprepare 2", "wave_unprepare 3",
        "wave_unprepare 4", "wave_unprepare 5", "wave_unprepare 6", "wave_unprepare 7", "wave_close"}));
    expect_orderly_end();
}

TEST_F(CaptureTest, CloseWhileRunningStopsAndEndsInOrder) {
    open_and_start(record_block);
    for (int n = 0; n < 5; ++n) complete_one();
    capture_close();
    std::vector<std::string> calls = device_calls();
    auto stop = std::find(calls.begin(), calls.end(), "wave_stop");
    auto reset = std::find(calls.begin(), calls.end(), "wave_reset");
    ASSERT_NE(stop, calls.end());
    ASSERT_NE(reset, calls.end());
    EXPECT_LT(stop, reset);
    // Nothing is queued again once the device has handed the buffers back.
    for (auto c = reset; c != calls.end(); ++c) EXPECT_EQ(c->rfind("wave_add", 0), std::string::npos) << *c;
    expect_orderly_end();
}

TEST_F(CaptureTest, BuffersTheDeviceRefusesDropOutAndCloseStillEnds) {
    g_fake_wave.refuse_requeue = true;
    open_and_start(record_block);
    for (int n = 0; n < CAPTURE_BUFFERS; ++n) {
        ASSERT_EQ(fake_wave_complete(1), 1);
        ASSERT_TRUE(wait_seen(n + 1));
    }
    EXPECT_EQ(fake_wave_complete(1), 0);  // the ring has run dry
    EXPECT_EQ(fake_wave_queued(), 0);
    EXPECT_EQ(seen(), rotation(0, 8));
    capture_close();
    expect_orderly_end();
}

TEST_F(CaptureTest, AFailingStopKeepsItRunningAndCloseTriesAgain) {
    g_fake_wave.stop_result = 5;
    open_and_start(record_block);
    capture_stop();
    EXPECT_TRUE(capture_is_running());
    complete_one();  // the worker goes on
    EXPECT_EQ(seen().size(), 1u);

    capture_close();  // the stop fails again; close ends all the same
    EXPECT_EQ(count_of(device_calls(), "wave_stop"), 2);
    expect_orderly_end();
}

}  // namespace
