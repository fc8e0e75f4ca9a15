// Fake shell, tick timer and single-instance claim: every call lands in the
// call log; the menu keeps its check states; the message loop runs the test's
// body and returns the posted quit value.
#include "tests/fakes/fake_shell.h"

#include <map>

#include "app/instance.h"
#include "app/shell.h"
#include "tests/fakes/fake_log.h"

int g_fake_menu_load_result = 0;
uint32_t g_fake_timer_id = 1;
std::function<void()> g_fake_loop_body;
std::function<void()> g_fake_about_body;
TickCallback g_fake_tick_callback = nullptr;
const char* g_fake_error_text = nullptr;
const char* g_fake_error_detail = nullptr;
int32_t g_fake_instance_result = INSTANCE_FIRST;
const char* g_fake_running_text = nullptr;

namespace {
std::map<uint32_t, uint32_t> g_menu_states;  // by command; unset items are unchecked
int g_quit_code = -1;
}  // namespace

void fake_shell_reset() {
    g_fake_menu_load_result = 0;
    g_fake_timer_id = 1;
    g_fake_loop_body = nullptr;
    g_fake_about_body = nullptr;
    g_fake_tick_callback = nullptr;
    g_fake_error_text = nullptr;
    g_fake_error_detail = nullptr;
    g_fake_instance_result = INSTANCE_FIRST;
    g_fake_running_text = nullptr;
    g_menu_states.clear();
    g_quit_code = -1;
}

uint32_t fake_menu_state(uint32_t command) {
    auto found = g_menu_states.find(command);
    return found != g_menu_states.end() ? found->second : 0;
}

void fake_tick() {
    if (g_fake_tick_callback != nullptr) g_fake_tick_callback(g_fake_timer_id, 0, 0, 0, 0);
}

void shell_create_window() { fake_log("create_window"); }

void shell_error_box(const char* text, const char* detail) {
    fake_log("error_box");
    g_fake_error_text = text;
    g_fake_error_detail = detail;
}

void shell_tray_add() { fake_log("tray_add"); }
void shell_tray_remove() { fake_log("tray_remove"); }

int shell_menu_load() {
    fake_log("menu_load");
    return g_fake_menu_load_result;
}

void shell_menu_destroy() { fake_log("menu_destroy"); }

uint32_t shell_menu_state(uint32_t command) { return fake_menu_state(command); }

void shell_menu_set_state(uint32_t command, uint32_t state) {
    fake_log("menu_set_state", command, state);
    g_menu_states[command] = state;
}

void shell_run_about() {
    fake_log("about");
    if (g_fake_about_body) g_fake_about_body();
}

void shell_post_quit(int code) {
    fake_log("post_quit", code);
    if (g_quit_code < 0) g_quit_code = code;
}

int shell_message_loop() {
    fake_log("loop");
    if (g_fake_loop_body) g_fake_loop_body();
    return g_quit_code < 0 ? 0 : g_quit_code;
}

uint32_t tick_timer_start(uint32_t delay_ms, uint32_t resolution_ms, TickCallback callback) {
    fake_log("timer_start", delay_ms, resolution_ms);
    g_fake_tick_callback = g_fake_timer_id != 0 ? callback : nullptr;
    return g_fake_timer_id;
}

void tick_timer_cancel(uint32_t timer_id) {
    fake_log("timer_cancel", timer_id);
    g_fake_tick_callback = nullptr;
}

void tick_timer_yield() {}

int32_t instance_claim() {
    fake_log("instance_claim");
    return g_fake_instance_result;
}

void instance_tell_running(const char* text) {
    fake_log("tell_running");
    g_fake_running_text = text;
}
