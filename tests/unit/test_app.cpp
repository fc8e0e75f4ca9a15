// The spine: the order of start-up and shutdown across every seam, the
// options, the menu commands, the failure exits and the guarantee that the
// dark display is the last thing written, with recording fakes.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/choices.h"
#include "app/gain_option.h"
#include "app/instance.h"
#include "app/options.h"
#include "app/shell.h"
#include "audio/capture_ring_peek.h"
#include "audio/analysis.h"
#include "meter/gain.h"
#include "meter/meter.h"
#include "port/port.h"
#include "port/provision.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"
#include "tests/fakes/fake_shell.h"
#include "tests/fakes/fake_wave_in.h"

namespace {

using Writes = std::vector<std::pair<uint16_t, uint8_t>>;

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_log_clear();
        fake_port_reset();
        fake_shell_reset();
        fake_wave_reset();
        g_fake_wave.log_calls = false;
        meter_reset();
        g_peak_mode = 0;
        g_sixteen_mode = 0;
        choices_reset();
        for (auto& v : g_spectrum) v.store(0.0);
    }
    void TearDown() override { capture_close(); }
};

// The logged calls, without the menu check calls (tested on their own).
std::vector<std::string> steps() {
    std::vector<std::string> out;
    for (const std::string& n : fake_log_names())
        if (n != "menu_set_state") out.push_back(n);
    return out;
}

int count_of(const std::string& name) {
    int n = 0;
    for (const std::string& s : fake_log_names()) n += s == name;
    return n;
}

// The menu items the options checked, in order.
std::vector<int64_t> checked_items() {
    std::vector<int64_t> items;
    for (int i = 0; i < fake_log_count(); ++i) {
        FakeEvent e = fake_log_at(i);
        if (std::string(e.what) == "menu_set_state" && e.b == MENU_CHECKED) items.push_back(e.a);
    }
    return items;
}

void run_and_exit(const char* arguments) {
    g_fake_loop_body = [] { app_command(MENU_EXIT); };
    EXPECT_EQ(app_run(arguments), 0);
}

TEST_F(AppTest, StartsAndStopsInOrderAndEndsDark) {
    g_fake_wave.log_calls = true;
    g_fake_loop_body = [] {
        fake_tick();
        app_command(MENU_EXIT);
    };
    EXPECT_EQ(app_run(""), 0);
    std::vector<std::string> names;
    for (const std::string& s : steps())
        if (s.rfind("wave_", 0) != 0 || s == "wave_open" || s == "wave_start" || s == "wave_stop" ||
            s == "wave_close")
            names.push_back(s);
    std::vector<std::string> expected = {
        "instance_claim", "create_window", "detect_platform", "driver_open", "tray_add", "menu_load",
        "wave_open", "wave_start",                // capture opened and started
        "timer_start", "port 0x77A=0", "loop",   // tick, then the port's start-up setting
        "port 0x37A=0", "port 0x378=0",          // one tick's 8-LED frame
        "post_quit", "timer_cancel", "wave_stop", "wave_close",
        "port 0x37A=0", "port 0x378=0",          // dark display
        "tray_remove", "menu_destroy", "driver_close"};
    EXPECT_EQ(names, expected);
    EXPECT_FALSE(capture_is_open());
}

TEST_F(AppTest, TimerRunsEveryTenMilliseconds) {
    run_and_exit("");
    for (int i = 0; i < fake_log_count(); ++i) {
        FakeEvent e = fake_log_at(i);
        if (std::string(e.what) == "timer_start") {
            EXPECT_EQ(e.a, 10);
            EXPECT_EQ(e.b, 10);
        }
    }
    EXPECT_EQ(count_of("timer_start"), 1);
}

TEST_F(AppTest, OptionsAreCaseSensitiveSubstringsPeakFirst) {
    struct Case {
        const char* arguments;
        uint8_t peak, sixteen;
        std::vector<int64_t> checked;
    };
    const std::vector<Case> cases = {
        {"", 0, 0, {}},
        {"-peak -16bit", 1, 1, {MENU_PEAK, MENU_SIXTEEN}},
        {"-16bit -peak", 1, 1, {MENU_PEAK, MENU_SIXTEEN}},  // "-peak" is applied first either way
        {"-peakish", 1, 0, {MENU_PEAK}},
        {"x-16bitx", 0, 1, {MENU_SIXTEEN}},
        {"-PEAK -16BIT", 0, 0, {}},
        {"-pea k -16 bit", 0, 0, {}},
    };
    for (const Case& c : cases) {
        SetUp();
        run_and_exit(c.arguments);
        EXPECT_EQ(g_peak_mode.load(), c.peak) << c.arguments;
        EXPECT_EQ(g_sixteen_mode.load(), c.sixteen) << c.arguments;
        EXPECT_EQ(checked_items(), c.checked) << c.arguments;
        EXPECT_EQ(fake_menu_state(MENU_PEAK), c.peak ? MENU_CHECKED : MENU_UNCHECKED) << c.arguments;
        EXPECT_EQ(fake_menu_state(MENU_SIXTEEN), c.sixteen ? MENU_CHECKED : MENU_UNCHECKED) << c.arguments;
    }
}

TEST_F(AppTest, DriverUnavailableShowsTheMessageAndStopsBeforeTheTray) {
    // The platform's own headline where it has one, else the design's message.
    for (const char* headline : {static_cast<const char*>(nullptr), "sonabar: cannot use the parallel port /x"}) {
        SetUp();
        g_fake_driver_result = DRIVER_UNAVAILABLE;
        g_fake_driver_reason = "no such device";
        g_fake_driver_headline = headline;
        EXPECT_EQ(app_run("-peak"), APP_START_FAILED);
        EXPECT_EQ(steps(), (std::vector<std::string>{"instance_claim", "create_window", "detect_platform", "driver_open",
                                                      "error_box"}));
        EXPECT_STREQ(g_fake_error_text, headline != nullptr ? headline : "Error loading kernel-mode I/O-driver!");
        EXPECT_STREQ(g_fake_error_detail, "no such device");
        EXPECT_TRUE(fake_log_port_writes().empty());
    }
}

TEST_F(AppTest, AQuitWhileThePortIsTakenEndsQuietly) {
    g_fake_driver_result = DRIVER_INTERRUPTED;
    EXPECT_EQ(app_run("-peak"), 0);
    EXPECT_EQ(steps(), (std::vector<std::string>{"instance_claim", "create_window", "detect_platform", "driver_open"}));
}

TEST_F(AppTest, SecondCopySaysSoAndTouchesNothing) {
    g_fake_instance_result = INSTANCE_ALREADY_RUNNING;
    EXPECT_EQ(app_run("-peak -16bit"), 0);
    EXPECT_EQ(steps(), (std::vector<std::string>{"instance_claim", "tell_running"}));
    EXPECT_STREQ(g_fake_running_text, "Sonabar is already running.");
    EXPECT_EQ(g_peak_mode.load(), 0);
}

TEST_F(AppTest, DriverStartedOrOpenedBothGoOn) {
    for (int32_t result : {DRIVER_OPENED, DRIVER_STARTED}) {
        SetUp();
        g_fake_driver_result = result;
        run_and_exit("");
        EXPECT_EQ(count_of("loop"), 1);
        EXPECT_EQ(count_of("error_box"), 0);
    }
}

TEST_F(AppTest, DirectPortOutputNeedsNoDriver) {
    g_fake_platform_kind = PLATFORM_DIRECT;
    run_and_exit("");
    EXPECT_EQ(count_of("driver_open"), 0);
    EXPECT_EQ(count_of("loop"), 1);
    EXPECT_EQ(g_platform_kind, PLATFORM_DIRECT);
}

TEST_F(AppTest, MissingMenuUndoesTheTrayAndExits) {
    g_fake_menu_load_result = 1;
    EXPECT_EQ(app_run("-peak -16bit"), APP_START_FAILED);
    EXPECT_EQ(steps(), (std::vector<std::string>{"instance_claim", "create_window", "detect_platform", "driver_open",
                                                  "tray_add", "menu_load", "tray_remove", "driver_close"}));
    EXPECT_EQ(g_peak_mode.load(), 0);  // options are not applied
}

TEST_F(AppTest, TimerFailureUndoesCaptureTrayAndMenuInShutdownOrder) {
    g_fake_timer_id = 0;
    g_fake_wave.log_calls = true;
    EXPECT_EQ(app_run(""), APP_START_FAILED);
    std::vector<std::string> tail;
    bool after = false;
    for (const std::string& s : steps()) {
        if (s == "timer_start") after = true;
        else if (after && (s.rfind("wave_", 0) != 0 || s == "wave_stop" || s == "wave_close")) tail.push_back(s);
    }
    EXPECT_EQ(tail, (std::vector<std::string>{"wave_stop", "wave_close", "port 0x37A=0", "port 0x378=0",
                                              "tray_remove", "menu_destroy", "driver_close"}));
    EXPECT_EQ(count_of("loop"), 0);
    EXPECT_FALSE(capture_is_open());
}

TEST_F(AppTest, NoInputDeviceRunsOnDark) {
    g_fake_wave.open_result = 2;
    g_fake_loop_body = [] {
        for (int i = 0; i < 20; ++i) fake_tick();
        app_command(MENU_EXIT);
    };
    EXPECT_EQ(app_run("-16bit -peak"), 0);
    for (const auto& w : fake_log_port_writes()) {
        if (w.first == g_port_base) {
            EXPECT_EQ(w.second, 0);
        }
    }
}

TEST_F(AppTest, PeakTwiceReturnsCheckAndByte) {
    g_fake_loop_body = [] {
        app_command(MENU_PEAK);
        EXPECT_EQ(fake_menu_state(MENU_PEAK), MENU_CHECKED);
        EXPECT_EQ(g_peak_mode.load(), 1);
        app_command(MENU_PEAK);
        app_command(MENU_EXIT);
    };
    EXPECT_EQ(app_run(""), 0);
    EXPECT_EQ(fake_menu_state(MENU_PEAK), MENU_UNCHECKED);
    EXPECT_EQ(g_peak_mode.load(), 0);
}

TEST_F(AppTest, SixteenBitWritesTheDarkDisplayAndTheNextTickTheOtherSize) {
    g_fake_loop_body = [] {
        fake_log_clear();
        app_command(MENU_SIXTEEN);
        EXPECT_EQ(fake_log_port_writes(), (Writes{{0x37A, 0}, {0x378, 0}}));
        EXPECT_EQ(fake_menu_state(MENU_SIXTEEN), MENU_CHECKED);
        EXPECT_EQ(g_sixteen_mode.load(), 1);
        fake_log_clear();
        fake_tick();
        EXPECT_EQ(fake_log_port_writes(),
                  (Writes{{0x37A, 3}, {0x378, 0}, {0x37A, 1}, {0x37A, 3}, {0x378, 0}, {0x37A, 2}}));
        app_command(MENU_EXIT);
    };
    EXPECT_EQ(app_run(""), 0);
}

// The choices' commands among them: a choice that was never started has no
// such items (the Windows edition starts the sensitivity alone), and without
// a keeper (the Windows edition) there is no "Start at login".
TEST_F(AppTest, UnknownCommandsDoNothing) {
    for (bool gain_started : {false, true}) {
        SetUp();
        if (gain_started) choices_start_gain(false, 0.0);
        g_fake_loop_body = [gain_started] {
            fake_log_clear();
            for (uint32_t id : {0u, 40004u, 40005u, 40009u, 0x10000u + MENU_EXIT, MENU_LISTEN_INPUT,
                                MENU_LISTEN_PLAYING, MENU_START_AT_LOGIN, gain_started ? 0u : MENU_GAIN_AUTO})
                app_command(id);
            EXPECT_EQ(fake_log_count(), 0);
            app_command(MENU_EXIT);
        };
        EXPECT_EQ(app_run(""), 0);
    }
}

TEST_F(AppTest, AboutOpensOnceAndExitDuringItStillEnds) {
    g_fake_about_body = [] {
        app_command(MENU_ABOUT);  // a second About from the tray while the box is open
        app_command(MENU_EXIT);
    };
    g_fake_loop_body = [] { app_command(MENU_ABOUT); };
    EXPECT_EQ(app_run(""), 0);
    EXPECT_EQ(count_of("about"), 1);
    EXPECT_EQ(count_of("post_quit"), 1);
    Writes writes = fake_log_port_writes();
    ASSERT_GE(writes.size(), 2u);
    EXPECT_EQ(writes[writes.size() - 2], (std::pair<uint16_t, uint8_t>{0x37A, 0}));
    EXPECT_EQ(writes.back(), (std::pair<uint16_t, uint8_t>{0x378, 0}));
}

std::vector<std::string> gain_labels() {
    ChoiceItem items[CHOICE_ITEMS_MAX];
    std::vector<std::string> labels;
    for (int i = 0, n = choices_gain_items(items); i < n; ++i) labels.push_back(items[i].label);
    return labels;
}

TEST_F(AppTest, AGainOfItsOwnShowsAsAnItemWhereItsValueBelongs) {
    const std::vector<std::string> presets = {"Normal", "+6 dB", "+12 dB", "+18 dB", "Automatic"};
    struct Case {
        bool automatic;
        double db;
        std::vector<std::string> labels;
    };
    const std::vector<Case> cases = {
        {false, 0.0, presets},
        {true, 3.0, presets},
        {false, -6.0, {"-6 dB", "Normal", "+6 dB", "+12 dB", "+18 dB", "Automatic"}},
        {false, 6.5, {"Normal", "+6 dB", "+6.5 dB", "+12 dB", "+18 dB", "Automatic"}},
        {false, -0.125, {"-0.125 dB", "Normal", "+6 dB", "+12 dB", "+18 dB", "Automatic"}},
        {false, 1e-9, {"Normal", "0 dB", "+6 dB", "+12 dB", "+18 dB", "Automatic"}},
    };
    for (const Case& c : cases) {
        choices_reset();
        EXPECT_EQ(choices_start(LISTEN_INPUT, c.automatic, c.db), 0);
        EXPECT_EQ(gain_labels(), c.labels) << c.db;
    }
}

// The Windows command line: "-gain=" is found as the display options are,
// and its value ends at a space, tab, double quote or the end. A bad value is
// shown in the failure box before anything starts, and refused with code 2.
TEST_F(AppTest, GainIsFoundAsASubstringAndABadValueIsRefusedBeforeAnythingStarts) {
    const std::string rule = "-gain= takes a number of dB from -20 to +40, or auto: '";
    const struct {
        const char* arguments;
        uint32_t checked;  // 0: refused with `message`
        double db;
        std::string message;
    } cases[] = {
        {"", MENU_GAIN_NORMAL, 0.0, ""},
        {"-peak -gain=+12 -16bit", MENU_GAIN_12_DB, 12.0, ""},
        {"\"-gain=auto\" -peak", MENU_GAIN_AUTO, 0.0, ""},
        {"x--gain=-6.5\t-gain=loud", MENU_GAIN_OWN, -6.5, ""},  // the first one counts
        {"-GAIN=loud -gain =loud", MENU_GAIN_NORMAL, 0.0, ""},
        {"-gain=loud", 0, 0.0, rule + "loud'"},
        {"-peak \"-gain=\"", 0, 0.0, rule + "'"},
        {"-gain=40.5 -peak", 0, 0.0, rule + "40.5'"},
    };
    for (const auto& c : cases) {
        SetUp();
        EXPECT_EQ(options_start_gain(c.arguments), c.checked == 0 ? 2 : 0) << c.arguments;
        EXPECT_EQ(steps(), std::vector<std::string>(c.checked == 0, "error_box")) << c.arguments;
        EXPECT_EQ(g_fake_error_text != nullptr ? g_fake_error_text : "", c.message);
        if (c.checked == 0) continue;
        run_and_exit(c.arguments);
        for (uint32_t id : {MENU_GAIN_NORMAL, MENU_GAIN_12_DB, MENU_GAIN_AUTO, MENU_GAIN_OWN})
            EXPECT_EQ(fake_menu_state(id), id == c.checked ? MENU_CHECKED : MENU_UNCHECKED) << c.arguments;
        // Without -gain= the scale is exactly the design's, a factor of 1;
        // the automatic law's gate keeps a maximum of 1 dark.
        const double expected = c.checked == MENU_GAIN_AUTO ? 0.0 : std::pow(10.0, c.db / 20.0);
        EXPECT_EQ(gain_apply(1.0), expected) << c.arguments;
    }
}

// The tray's tip: what is heard, the checked sensitivity and the LEDs, or why no sound comes.
TEST_F(AppTest, TheTipTellsTheChoicesOrWhyNoSoundComes) {
    // The command line's gain, a sensitivity item chosen after it (or 0), 16 LEDs, a lost cause.
    const struct { double db; uint32_t chosen; bool sixteen; const char* lost; std::string tip; } cases[] = {
        {0.0, 0, true, nullptr, "Sonabar: the sound input, Normal, 16 LEDs"},
        {3.0, 0, false, nullptr, "Sonabar: the sound input, +3 dB, 8 LEDs"},
        {3.0, MENU_GAIN_12_DB, true, nullptr, "Sonabar: the sound input, +12 dB, 16 LEDs"},
        {0.0, MENU_GAIN_AUTO, false, nullptr, "Sonabar: the sound input, Automatic, 8 LEDs"},
        {0.0, 0, false, "the PipeWire server went away", "Sonabar: no sound (the PipeWire server went away)"},
    };
    for (const auto& c : cases) {
        choices_reset();
        choices_start(LISTEN_INPUT, false, c.db);
        if (c.chosen != 0) choices_gain(c.chosen);
        char tip[200];
        choices_describe(c.sixteen, c.lost, tip, sizeof tip);
        EXPECT_EQ(tip, c.tip);
    }
}

// The command line sets where the choices start; each radio item chosen
// checks itself alone, whatever GTK did to the check marks by itself.
TEST_F(AppTest, TheChoicesStartFromTheCommandLineAndTheirItemsSwitchThem) {
    ASSERT_EQ(choices_start(LISTEN_INPUT, false, 3.0), 0);
    ChoiceItem items[CHOICE_ITEMS_MAX];
    EXPECT_EQ(choices_listen_items(items), 2);
    auto checked_gain = [] {
        std::vector<uint32_t> on;
        for (uint32_t id : {MENU_GAIN_NORMAL, MENU_GAIN_OWN, MENU_GAIN_6_DB, MENU_GAIN_12_DB, MENU_GAIN_18_DB,
                            MENU_GAIN_AUTO})
            if (fake_menu_state(id) == MENU_CHECKED) on.push_back(id);
        return on;
    };
    g_fake_loop_body = [&] {
        EXPECT_EQ(fake_menu_state(MENU_LISTEN_INPUT), MENU_CHECKED);
        EXPECT_EQ(fake_menu_state(MENU_LISTEN_PLAYING), MENU_UNCHECKED);
        EXPECT_EQ(checked_gain(), std::vector<uint32_t>{MENU_GAIN_OWN});
        for (uint32_t id : {MENU_GAIN_12_DB, MENU_GAIN_12_DB, MENU_GAIN_AUTO, MENU_GAIN_OWN}) {
            shell_menu_set_state(id, MENU_UNCHECKED);  // GTK unchecks a checked radio item clicked again
            app_command(id);
            EXPECT_EQ(checked_gain(), std::vector<uint32_t>{id});
        }
        // The capture decides whether it can listen to what is playing; the
        // check follows its answer, and a switch darkens the display.
        const Writes dark = {{0x37A, 0}, {0x378, 0}};
        fake_log_clear();
        app_command(MENU_LISTEN_PLAYING);
        bool switched = fake_menu_state(MENU_LISTEN_PLAYING) == MENU_CHECKED;
        EXPECT_NE(switched, fake_menu_state(MENU_LISTEN_INPUT) == MENU_CHECKED);
        EXPECT_EQ(fake_log_port_writes(), switched ? dark : Writes());
        fake_log_clear();
        app_command(MENU_LISTEN_INPUT);
        EXPECT_EQ(fake_menu_state(MENU_LISTEN_INPUT), MENU_CHECKED);
        EXPECT_EQ(fake_menu_state(MENU_LISTEN_PLAYING), MENU_UNCHECKED);
        EXPECT_EQ(fake_log_port_writes(), switched ? dark : Writes());
        app_command(MENU_EXIT);
    };
    EXPECT_EQ(app_run(""), 0);
}

// The timer's cancel does not wait for a running tick, and a real timer may
// even fire once more: a ticking thread that keeps calling the callback
// throughout shutdown must not write after the dark display.
TEST_F(AppTest, NoTickWritesAfterTheDarkDisplayWhileAudioRuns) {
    for (int round = 0; round < 20; ++round) {
        SetUp();
        std::atomic<bool> stop{false};
        std::thread ticker;
        g_fake_loop_body = [&] {
            ticker = std::thread([&] {
                while (!stop.load()) {
                    for (int k = 0; k < SPECTRUM_BINS; ++k) g_spectrum[k].store(70000.0);
                    tick_timer_callback(1, 0, 0, 0, 0);
                }
            });
            fake_wave_complete(3, 20000);
            app_command(MENU_EXIT);
        };
        EXPECT_EQ(app_run("-16bit -peak"), 0);
        stop.store(true);
        ticker.join();
        int cancel = -1;
        for (int i = 0; i < fake_log_count(); ++i)
            if (std::string(fake_log_at(i).what) == "timer_cancel") cancel = i;
        ASSERT_GE(cancel, 0);
        Writes after;
        for (int i = cancel; i < fake_log_count(); ++i) {
            FakeEvent e = fake_log_at(i);
            if (std::string(e.what) == "port") after.emplace_back(uint16_t(e.a), uint8_t(e.b));
        }
        // A tick that was already running may finish its frame, but the
        // dark display comes last.
        ASSERT_GE(after.size(), 2u);
        EXPECT_EQ(after[after.size() - 2], (std::pair<uint16_t, uint8_t>{0x37A, 0}));
        EXPECT_EQ(after.back(), (std::pair<uint16_t, uint8_t>{0x378, 0}));
        EXPECT_LE(after.size(), 2u + 6u);
    }
}

}  // namespace
