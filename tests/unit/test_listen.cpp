// The Linux edition's capture: the window relay (the newest 1,024 samples
// whatever the delivery sizes, contiguous sound only, silence first, nothing
// torn between real threads), the lost cause's text shared between threads,
// and the capture over a scripted sound input (the path taken and told,
// windows handed over on the tick, a lost input falling silent and coming
// back, told on stderr and to the tray, switching what is heard).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "audio/capture.h"
#include "audio/capture_linux.h"
#include "audio/sound_input.h"
#include "audio/window_relay.h"
#include "base/shared_text.h"
#include "tests/fakes/fake_sound_input.h"

namespace {

using Strings = std::vector<std::string>;
constexpr uint32_t WINDOW = RELAY_WINDOW_SAMPLES;

// Sample number n of a ramp that runs through every value but 0, the silent one.
int16_t ramp(uint32_t n) { return static_cast<int16_t>(n % 65535 + 1); }

// Appends the ramp's samples from..to (not included) in deliveries of `size`.
void deliver(uint32_t from, uint32_t to, uint32_t size) {
    std::vector<int16_t> samples(size);
    for (uint32_t at = from; at < to; at += size) {
        uint32_t count = to - at < size ? to - at : size;
        for (uint32_t i = 0; i < count; ++i) samples[i] = ramp(at + i);
        relay_append(samples.data(), count);
    }
}

const int16_t* samples_of(const WaveHeader* h) { return reinterpret_cast<const int16_t*>(h->lpData); }

// The window is the whole buffer, and holds the ramp's samples end-1024..end.
bool holds_ramp_to(const WaveHeader* h, uint32_t end) {
    if (h == nullptr || h->dwBufferLength != 2 * WINDOW) return false;
    for (uint32_t i = 0; i < WINDOW; ++i) {
        if (samples_of(h)[i] != ramp(end - WINDOW + i)) return false;
    }
    return true;
}

bool silent(const WaveHeader* h) {
    if (h == nullptr || h->dwBufferLength != 2 * WINDOW) return false;
    for (uint32_t i = 0; i < WINDOW; ++i) {
        if (samples_of(h)[i] != 0) return false;
    }
    return true;
}

TEST(WindowRelay, TheNewestContiguousWindowWhateverTheDeliverySizesSilenceFirst) {
    for (uint32_t size : {1u, 940u, 1024u, 4096u}) {
        SCOPED_TRACE(size);
        relay_reset();
        uint32_t end = WINDOW - 1;
        deliver(0, end, size);
        EXPECT_EQ(relay_take(), nullptr);  // a sample short of a window
        for (uint32_t more : {1u, size, 3 * size + 5, 9000u}) {
            deliver(end, end + more, size);
            end += more;
            EXPECT_TRUE(holds_ramp_to(relay_take(), end)) << "after " << end;
            EXPECT_EQ(relay_take(), nullptr);  // nothing new since
        }
        relay_restart();  // a gap: the next window holds sound after it only
        deliver(end, end + WINDOW - 1, size);
        EXPECT_EQ(relay_take(), nullptr);
        deliver(end + WINDOW - 1, end + WINDOW, size);
        EXPECT_TRUE(holds_ramp_to(relay_take(), end + WINDOW));
        end += WINDOW;
        deliver(end, end + 3000, size);
        relay_request_silence();  // from another thread, say: silence first, nothing before it after it
        EXPECT_TRUE(silent(relay_take()));
        EXPECT_EQ(relay_take(), nullptr);
        deliver(end + 3000, end + 3000 + WINDOW, size);
        EXPECT_TRUE(holds_ramp_to(relay_take(), end + 3000 + WINDOW));
    }
}

// For the thread sanitizer above all: a recording thread delivering odd sizes
// flat out (going round the ring again and again, now and then over a window
// being copied), a tick taking windows flat out, and silence requested from a
// third thread. Every window taken is silent, or 1,024 samples of the ramp in
// order, ending at a sample delivered by the time of the take, at or after the
// last delivery done before it, and later than the window before.
TEST(WindowRelay, NoWindowIsTornStaleOrOutOfOrderBetweenThreads) {
    relay_reset();
    constexpr uint32_t SIZES[] = {1, 940, 1024, 4096, 97, 2500}, LARGEST = 4096;
    constexpr int WINDOWS = 5000;
    const auto hang_guard = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::atomic<uint32_t> delivered{0};
    std::atomic<bool> done{false};
    std::thread recorder([&] {
        for (uint32_t at = 0, i = 0; !done.load(); at += SIZES[i++ % 6]) {
            deliver(at, at + SIZES[i % 6], SIZES[i % 6]);
            delivered.store(at + SIZES[i % 6]);
        }
    });
    std::thread silencer([&] {
        while (!done.load()) {
            relay_request_silence();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    int windows = 0, silences = 0, wrong = 0;
    uint32_t last_end = 0;
    while ((windows < WINDOWS || silences == 0) && std::chrono::steady_clock::now() < hang_guard) {
        uint32_t before = delivered.load();
        WaveHeader* h = relay_take();
        uint32_t after = delivered.load();
        if (h == nullptr) continue;
        if (silent(h)) {
            ++silences;
            continue;
        }
        ++windows;
        // Where the window starts, from its first sample: the ramp repeats every
        // 65,535 samples, and the span the window can lie in is far shorter.
        uint32_t lowest = before > WINDOW ? before - WINDOW : 0;
        if (after + LARGEST - lowest >= 65535) continue;
        uint16_t first = static_cast<uint16_t>(samples_of(h)[0]);
        uint32_t end = lowest + (first + 65535u - static_cast<uint16_t>(ramp(lowest))) % 65535u + WINDOW;
        if (!holds_ramp_to(h, end) || end < before || end > after + LARGEST || end <= last_end) ++wrong;
        last_end = end;
    }
    done.store(true);
    recorder.join();
    silencer.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(windows, WINDOWS);
    EXPECT_GT(silences, 0);
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

std::vector<int16_t> g_seen;  // the last sample of every window the handler got

int32_t record_block(WaveHeader* header) {
    g_seen.push_back(samples_of(header)[WINDOW - 1]);
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

TEST(Listen, WindowsReachTheHandlerOnTheTickSilenceFirstWhenTheInputIsLostOrSwitched) {
    start(nullptr, true, LISTEN_INPUT);
    int16_t piece[WINDOW];
    for (int16_t& s : piece) s = 9;
    listen_samples(piece, WINDOW - 1);
    capture_tick();
    EXPECT_TRUE(g_seen.empty());  // not a window yet
    listen_samples(piece, 1);
    capture_tick();
    piece[499] = 8;
    listen_samples(piece, 500);
    piece[599] = 7;
    listen_samples(piece, 600);  // two deliveries by the next tick: one window, the newest
    capture_tick();
    capture_tick();  // nothing new: the handler is not called
    EXPECT_EQ(g_seen, (std::vector<int16_t>{9, 7}));

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
    EXPECT_EQ(g_seen, (std::vector<int16_t>{9, 7, 0}));

    fake_sound_input_reset();
    testing::internal::CaptureStderr();
    for (int16_t& s : piece) s = 10;
    listen_samples(piece, WINDOW);  // recorded before the switch: never shown after it
    EXPECT_EQ(capture_listen(LISTEN_PLAYING), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "sonabar: listening to what is playing through PipeWire\n");
    EXPECT_EQ(fake_sound_input_calls(), (Strings{"pipewire_stop", "pipewire_start playing"}));
    for (int16_t& s : piece) s = 11;
    listen_samples(piece, WINDOW);
    capture_tick();
    capture_tick();
    EXPECT_EQ(g_seen, (std::vector<int16_t>{9, 7, 0, 0, 11}));
    capture_close();
    EXPECT_EQ(fake_sound_input_calls(),
              (Strings{"pipewire_stop", "pipewire_start playing", "pipewire_stop", "pipewire_close"}));
}

}  // namespace
