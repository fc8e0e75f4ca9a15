// The Linux edition's capture: the block relay (blocks made from any pieces,
// the newest winning, silence first, nothing torn between real threads), the
// lost cause's text shared between threads, and the capture over a scripted
// sound input (the path taken and told, blocks handed over on the tick, a
// lost input falling silent and coming back, told on stderr and to the tray,
// switching what is heard).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "audio/block_relay.h"
#include "audio/capture.h"
#include "audio/capture_linux.h"
#include "audio/sound_input.h"
#include "base/shared_text.h"
#include "tests/fakes/fake_sound_input.h"

namespace {

using Strings = std::vector<std::string>;

// Appends one block whose every sample is `value`, in pieces of `piece`.
void append_block(int16_t value, uint32_t piece) {
    std::vector<int16_t> samples(RELAY_BLOCK_SAMPLES, value);
    for (uint32_t at = 0; at < RELAY_BLOCK_SAMPLES; at += piece) {
        uint32_t count = RELAY_BLOCK_SAMPLES - at < piece ? RELAY_BLOCK_SAMPLES - at : piece;
        relay_append(samples.data() + at, count);
    }
}

int16_t first_sample(const WaveHeader* h) { return reinterpret_cast<const int16_t*>(h->lpData)[0]; }

bool uniform(const WaveHeader* h) {
    const int16_t* s = reinterpret_cast<const int16_t*>(h->lpData);
    for (uint32_t i = 1; i < RELAY_BLOCK_SAMPLES; ++i) {
        if (s[i] != s[0]) return false;
    }
    return h->dwBufferLength == 2 * RELAY_BLOCK_SAMPLES;
}

TEST(BlockRelay, MakesBlocksFromAnyPiecesLetsTheNewestWinAndPutsSilenceFirst) {
    relay_reset();
    EXPECT_EQ(relay_take(), nullptr);
    append_block(7, 1000);                // 1,000 + 1,000 + 48
    ASSERT_NE(relay_take(), nullptr);
    EXPECT_EQ(relay_take(), nullptr);     // taken once only
    int16_t half[RELAY_BLOCK_SAMPLES / 2] = {};
    relay_append(half, RELAY_BLOCK_SAMPLES / 2);
    EXPECT_EQ(relay_take(), nullptr);     // not a block yet
    relay_restart_block();                // the half block is dropped ...
    for (int16_t v : {1, 2, 3}) append_block(v, 941);
    WaveHeader* newest = relay_take();    // ... and three blocks later only the third is there
    ASSERT_NE(newest, nullptr);
    EXPECT_TRUE(uniform(newest));
    EXPECT_EQ(first_sample(newest), 3);
    EXPECT_EQ(relay_take(), nullptr);
    append_block(4, RELAY_BLOCK_SAMPLES);
    relay_request_silence();              // a block recorded before the request is not shown after it
    WaveHeader* silent = relay_take();
    ASSERT_NE(silent, nullptr);
    EXPECT_TRUE(uniform(silent));
    EXPECT_EQ(first_sample(silent), 0);
    EXPECT_EQ(relay_take(), nullptr);
    append_block(5, 300);
    EXPECT_EQ(first_sample(relay_take()), 5);
}

// For the thread sanitizer above all: a recording thread and a reading thread
// flat out, with silence requested from a third; every block read is whole
// and newer than the one before.
TEST(BlockRelay, NoBlockIsTornOrOutOfOrderBetweenThreads) {
    relay_reset();
    constexpr int BLOCKS = 5000;
    std::atomic<bool> done{false};
    std::thread recorder([&] {
        for (int b = 1; b <= BLOCKS; ++b) {
            append_block(static_cast<int16_t>(b), 97 + b % 900);
            std::this_thread::yield();
        }
        done.store(true);
    });
    std::thread silencer([&] {
        for (int i = 0; i < 10 && !done.load(); ++i) {
            relay_request_silence();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    int last = 0, taken = 0;
    bool torn = false, backwards = false;
    while (!done.load() || relay_take() != nullptr) {
        WaveHeader* h = relay_take();
        if (h == nullptr) {
            std::this_thread::yield();
            continue;
        }
        torn = torn || !uniform(h);
        if (first_sample(h) == 0) continue;  // a silent block
        backwards = backwards || first_sample(h) <= last;
        last = first_sample(h);
        ++taken;
    }
    recorder.join();
    silencer.join();
    EXPECT_FALSE(torn);
    EXPECT_FALSE(backwards);
    EXPECT_GT(taken, 0);
}

// The lost cause handed to the UI thread: every read that is kept is one of
// the texts written, whole, while a writer changes it flat out.
TEST(SharedText, AReadThatIsKeptIsNeverTorn) {
    static SharedText shared;
    const std::string texts[] = {"", "the PipeWire server went away", "cannot open the ALSA device"};
    // The writer writes for as long as the reader reads: on a busy machine
    // either may be held up, and the reads must still meet the writes.
    std::atomic<bool> done{false};
    std::atomic<int> writes{0};
    std::thread writer([&] {
        for (int i = 0; !done.load(); ++i) {
            shared_text_write(shared, texts[i % 3].c_str());
            writes.store(i + 1);
        }
    });
    int kept = 0;
    bool torn = false;
    char copy[SHARED_TEXT_SIZE];
    while (kept < 20000 || writes.load() < 20000) {
        if (!shared_text_read(shared, copy, sizeof copy)) continue;
        torn = torn || (copy != texts[0] && copy != texts[1] && copy != texts[2]);
        ++kept;
    }
    done.store(true);
    writer.join();
    EXPECT_FALSE(torn);
}

std::vector<int16_t> g_seen;  // the first sample of every block the handler got

int32_t record_block(WaveHeader* header) {
    g_seen.push_back(first_sample(header));
    return 1;
}

// Opens and starts the capture over the scripted input; returns what it printed.
std::string start(const char* device, bool server, int32_t source) {
    fake_sound_input_reset();
    g_fake_server_answers = server;
    g_seen.clear();
    capture_use_device(device);
    capture_listen(source);
    testing::internal::CaptureStderr();
    capture_open();
    capture_set_block_handler(record_block);
    capture_start();
    return testing::internal::GetCapturedStderr();
}

TEST(Listen, TakesThePipeWireServerWhenOneAnswersAndSaysWhich) {
    struct Case {
        const char* device;
        bool server;
        int32_t source;
        Strings calls;
        const char* told;
    } cases[] = {
        {nullptr, true, LISTEN_INPUT, {"pipewire_connect", "pipewire_start input"},
         "sonabar: listening to the default input through PipeWire\n"},
        {nullptr, true, LISTEN_PLAYING, {"pipewire_connect", "pipewire_start playing"},
         "sonabar: listening to what is playing through PipeWire\n"},
        {nullptr, false, LISTEN_INPUT, {"pipewire_connect", "alsa_start default"},
         "sonabar: listening to the default input through ALSA (no PipeWire server answered)\n"},
        {nullptr, false, LISTEN_PLAYING, {"pipewire_connect", "alsa_start default"},
         "what is playing cannot be heard without a PipeWire server"},
        {"hw:1", true, LISTEN_INPUT, {"alsa_start hw:1"}, "sonabar: listening to the ALSA capture device \"hw:1\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.told);
        std::string told = start(c.device, c.server, c.source);
        EXPECT_EQ(fake_sound_input_calls(), c.calls);
        EXPECT_NE(told.find(c.told), std::string::npos) << told;
        testing::internal::CaptureStderr();
        EXPECT_EQ(capture_listen(LISTEN_PLAYING), c.server && c.device == nullptr ? 0 : 1);
        testing::internal::GetCapturedStderr();
        capture_close();
    }
}

TEST(Listen, BlocksReachTheHandlerOnTheTickSilenceFirstWhenTheInputIsLostOrSwitched) {
    start(nullptr, true, LISTEN_INPUT);
    int16_t piece[RELAY_BLOCK_SAMPLES];
    for (int16_t& s : piece) s = 9;
    listen_samples(piece, RELAY_BLOCK_SAMPLES / 2);
    capture_tick();
    EXPECT_TRUE(g_seen.empty());  // half a block is no block
    listen_samples(piece, RELAY_BLOCK_SAMPLES);
    listen_samples(piece, RELAY_BLOCK_SAMPLES / 2);  // two blocks by the next tick: the newest only
    capture_tick();
    EXPECT_EQ(g_seen, std::vector<int16_t>{9});

    // Each change is told once, on stderr and to the tray's watcher.
    static int changes = 0;
    capture_watch([] { ++changes; });
    char cause[64];
    testing::internal::CaptureStderr();
    listen_lost("the PipeWire server went away");
    listen_lost("the PipeWire server went away");
    EXPECT_EQ(capture_lost_cause(cause, sizeof cause), CAPTURE_LOST);
    EXPECT_STREQ(cause, "the PipeWire server went away");
    capture_tick();
    listen_back();
    listen_back();
    EXPECT_EQ(capture_lost_cause(cause, sizeof cause), CAPTURE_SOUND);
    capture_watch(nullptr);
    EXPECT_EQ(changes, 2);
    std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told,
              "sonabar: no sound: the PipeWire server went away; the LEDs stay dark until it is back\n"
              "sonabar: the sound is back: listening to the default input through PipeWire\n");
    EXPECT_EQ(g_seen, (std::vector<int16_t>{9, 0}));

    fake_sound_input_reset();
    testing::internal::CaptureStderr();
    for (int16_t& s : piece) s = 10;
    listen_samples(piece, RELAY_BLOCK_SAMPLES);  // recorded before the switch: never shown after it
    EXPECT_EQ(capture_listen(LISTEN_PLAYING), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "sonabar: listening to what is playing through PipeWire\n");
    EXPECT_EQ(fake_sound_input_calls(), (Strings{"pipewire_stop", "pipewire_start playing"}));
    for (int16_t& s : piece) s = 11;
    listen_samples(piece, RELAY_BLOCK_SAMPLES);
    capture_tick();
    EXPECT_EQ(g_seen, (std::vector<int16_t>{9, 0, 0, 11}));
    capture_close();
    EXPECT_EQ(fake_sound_input_calls(),
              (Strings{"pipewire_stop", "pipewire_start playing", "pipewire_stop", "pipewire_close"}));
}

}  // namespace
