// The spine: the order of start-up and shutdown across every seam, the
// options, the menu commands and the failure exits, with recording fakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/options.h"
#include "audio/capture.h"
#include "audio/spectrum.h"
#include "meter/meter.h"
#include "port/port.h"
#include "port/provision.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"
#include "tests/fakes/fake_shell.h"
#include "tests/fakes/fake_wave_in.h"

namespace {

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
        for (auto& v : g_spectrum) v.store(0.0);
    }
    void TearDown() override { capture_close(); }
};

// The calls of the log without the wave device's and the port's details.
std::vector<std::string> steps() {
    std::vector<std::string> names = fake_log_names();
    std::vector<std::string> out;
    for (const std::string& n : names) {
        if (n == "menu_set_state") continue;
        out.push_back(n);
    }
    return out;
}

TEST_F(AppTest, StartsAndStopsInOrderAndEndsDark) {
    g_fake_loop_body = [] {
        fake_tick();
        app_command(MENU_EXIT);
    };
    EXPECT_EQ(app_run(""), 0);
    std::vector<std::string> expected = {
        "create_window", "detect_platform", "driver_open", "tray_add", "menu_load",
        "timer_start", "port 0x77A=0", "loop",
        "port 0x37A=0", "port 0x378=0",  // the tick's 8-LED frame
        "post_quit", "timer_cancel", "port 0x37A=0", "port 0x378=0",
        "tray_remove", "menu_destroy", "driver_close"};
    EXPECT_EQ(steps(), expected);
}

}  // namespace
