// The program's spine. Start-up brings the subsystems up in a fixed order,
// the message loop carries the tray's commands, and shutdown takes everything
// down in the reverse order, so that the last two port writes of every orderly
// exit are the dark display. Failure exits after the tray icon exists undo
// what was done, in the same shutdown order.
#include "app/app.h"

#include <atomic>

#include "app/choices.h"
#include "app/instance.h"
#include "app/options.h"
#include "app/shell.h"
#include "app/tick_timer.h"
#include "audio/capture.h"
#include "audio/analysis.h"
#include "meter/frames.h"
#include "meter/meter.h"
#include "port/port.h"
#include "port/provision.h"

namespace {

// Cancelling the periodic timer does not wait for a tick that is already
// running. Each tick announces itself in g_ticks_running before it looks at
// g_ticks_enabled; shutdown clears g_ticks_enabled and then waits for
// g_ticks_running to drain. Both sides use sequentially consistent order, so
// either the tick sees the flag cleared or shutdown sees the tick running.
std::atomic<bool> g_ticks_enabled{false};
std::atomic<int32_t> g_ticks_running{0};
bool g_about_open = false;  // UI thread only: the About box is modal, open it once

void app_stop_ticks(uint32_t timer_id) {
    tick_timer_cancel(timer_id);
    g_ticks_enabled.store(false);
    while (g_ticks_running.load() != 0) tick_timer_yield();
}

// Shutdown from the capture on: capture stopped and closed, display dark,
// tray icon removed, menu destroyed, driver channel closed.
void app_release(bool capture_started, bool menu_loaded) {
    if (capture_started) {
        capture_stop();
        capture_close();
        frame_dark_display();
    }
    shell_tray_remove();
    if (menu_loaded) shell_menu_destroy();
    driver_close();
}

void app_toggle_check(uint32_t command) {
    uint32_t state = shell_menu_state(command) == MENU_CHECKED ? MENU_UNCHECKED : MENU_CHECKED;
    shell_menu_set_state(command, state);
}

void app_toggle_option(std::atomic<uint8_t>& option) {
    option.store(option.load(std::memory_order_relaxed) ? 0 : 1, std::memory_order_relaxed);
}

}  // namespace

void tick_timer_callback(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t) {
    g_ticks_running.fetch_add(1);
    if (g_ticks_enabled.load()) {
        capture_tick();
        meter_tick();
    }
    g_ticks_running.fetch_sub(1);
}

void app_command(uint32_t command) {
    switch (command) {
        case MENU_EXIT:
            shell_post_quit(0);
            break;
        case MENU_PEAK:
            app_toggle_check(MENU_PEAK);
            app_toggle_option(g_peak_mode);
            choices_keep_display(MENU_PEAK);
            break;
        case MENU_SIXTEEN:
            app_toggle_check(MENU_SIXTEEN);
            app_toggle_option(g_sixteen_mode);
            frame_dark_display();
            choices_keep_display(MENU_SIXTEEN);
            break;
        case MENU_LISTEN_INPUT:
            choices_listen(LISTEN_INPUT);
            break;
        case MENU_LISTEN_PLAYING:
            choices_listen(LISTEN_PLAYING);
            break;
        case MENU_GAIN_NORMAL:
        case MENU_GAIN_6_DB:
        case MENU_GAIN_12_DB:
        case MENU_GAIN_18_DB:
        case MENU_GAIN_AUTO:
        case MENU_GAIN_OWN:
            choices_gain(command);
            break;
        case MENU_START_AT_LOGIN:
            choices_start_at_login();
            break;
        case MENU_ABOUT:
            // Tray commands still arrive while the box runs its own loop.
            if (g_about_open) break;
            g_about_open = true;
            shell_run_about();
            g_about_open = false;
            break;
        default:
            break;
    }
}

int app_run(const char* arguments) {
    // A second copy only says so: it touches neither the port, the driver
    // nor the tray, and makes no window that could be taken for the first's.
    if (instance_claim() != INSTANCE_FIRST) {
        instance_tell_running(ALREADY_RUNNING_TEXT);
        return 0;
    }

    shell_create_window();

    g_platform_kind = detect_platform();
    // Direct port output needs no driver: the process writes the port itself.
    int32_t driver = g_platform_kind != PLATFORM_DIRECT ? driver_open() : DRIVER_OPENED;
    if (driver == DRIVER_INTERRUPTED) return 0;  // asked to end while the port was being taken
    if (driver == DRIVER_UNAVAILABLE) {
        const char* headline = driver_failure_headline();
        shell_error_box(headline != nullptr ? headline : DRIVER_ERROR_TEXT, driver_failure_reason());
        return APP_START_FAILED;
    }

    shell_tray_add();
    if (shell_menu_load() != 0) {
        app_release(false, false);
        return APP_START_FAILED;
    }

    options_apply(arguments);

    // Without a usable input device the program runs on with a dark display.
    capture_open();
    choices_apply();
    capture_set_block_handler(analyse_block);
    capture_start();

    g_ticks_enabled.store(true);
    uint32_t timer_id = tick_timer_start(TICK_PERIOD_MS, TICK_PERIOD_MS, tick_timer_callback);
    if (timer_id == 0) {
        g_ticks_enabled.store(false);
        app_release(true, true);
        return APP_START_FAILED;
    }

    frame_port_startup();

    int code = shell_message_loop();

    app_stop_ticks(timer_id);
    app_release(true, true);
    return code;
}
