// Many blocks through the capture ring with every thread of the program
// running at once: a device thread completing buffers as fast as they come
// back, the worker analysing them with the real analyse_block, a tick thread
// reading g_spectrum through meter_tick, and the controlling thread opening,
// starting, stopping and closing the capture over and over, so that stops and
// resets race the device's completions. Meant above all for the
// ThreadSanitizer build, which must report nothing; the checks here make sure
// the blocks really flowed and every close ended in order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/options.h"
#include "audio/capture_ring_peek.h"
#include "audio/analysis.h"
#include "meter/meter.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"
#include "tests/fakes/fake_wave_in.h"

namespace {

constexpr int CYCLES = 30;
constexpr int64_t BLOCKS_PER_CYCLE = 400;
constexpr auto HANG_GUARD = std::chrono::seconds(60);

TEST(CaptureStress, BlocksFlowWhileTheTickReadsAndTheCaptureCycles) {
    capture_close();
    fake_wave_reset();
    g_fake_wave.log_calls = false;
    fake_port_reset();
    fake_log_clear();
    meter_reset();
    g_peak_mode.store(1, std::memory_order_relaxed);
    for (auto& v : g_spectrum) v.store(0.0, std::memory_order_relaxed);

    std::atomic<bool> done{false};
    std::atomic<int64_t> completed{0};
    std::atomic<bool> spectrum_in_range{true};

    // Every block holds one constant sample 1..1000: its spectrum is 4 × that
    // value at element 0 and about 0 elsewhere, so a tick never reads more
    // than about 4,000 anywhere, whichever two blocks it sees parts of.
    std::thread device([&] {
        int16_t sample = 0;
        while (!done.load(std::memory_order_relaxed)) {
            sample = static_cast<int16_t>(sample % 1000 + 1);
            if (fake_wave_complete(1, sample) == 1) {
                completed.fetch_add(1, std::memory_order_relaxed);
            } else {
                std::this_thread::yield();
            }
        }
    });
    std::thread tick([&] {
        int ticks = 0;
        while (!done.load(std::memory_order_relaxed)) {
            meter_tick();
            for (int k = 0; k < SPECTRUM_BINS; k += 97) {
                double v = g_spectrum[k].load(std::memory_order_relaxed);
                if (!(v >= 0.0 && v < 4001.0)) spectrum_in_range.store(false, std::memory_order_relaxed);
            }
            if (++ticks % 1024 == 0) {
                g_sixteen_mode.store(static_cast<uint8_t>(ticks / 1024 % 2), std::memory_order_relaxed);
                fake_log_clear();  // only this thread logs (port writes)
            }
            std::this_thread::yield();
        }
    });

    bool ran_dry = false;
    for (int cycle = 0; cycle < CYCLES && !ran_dry; ++cycle) {
        capture_open();
        capture_set_block_handler(analyse_block);
        capture_start();
        EXPECT_TRUE(capture_is_running());
        int64_t target = completed.load(std::memory_order_relaxed) + BLOCKS_PER_CYCLE;
        auto start = std::chrono::steady_clock::now();
        while (completed.load(std::memory_order_relaxed) < target && !ran_dry) {
            ran_dry = std::chrono::steady_clock::now() - start > HANG_GUARD;
            std::this_thread::yield();
        }
        if (cycle % 2 == 0) capture_stop();  // the other half close while running
        capture_close();
        EXPECT_FALSE(fake_wave_is_open());
        EXPECT_EQ(fake_wave_queued(), 0);
        EXPECT_EQ(fake_wave_prepared(), 0);
    }

    done.store(true, std::memory_order_relaxed);
    device.join();
    tick.join();
    EXPECT_FALSE(ran_dry) << "buffers stopped coming back";
    EXPECT_GE(completed.load(), CYCLES * BLOCKS_PER_CYCLE);
    EXPECT_TRUE(spectrum_in_range.load());
    EXPECT_GT(g_spectrum[0].load(std::memory_order_relaxed), 0.0);  // blocks were analysed
    g_sixteen_mode.store(0, std::memory_order_relaxed);
    g_peak_mode.store(0, std::memory_order_relaxed);
}

}  // namespace
