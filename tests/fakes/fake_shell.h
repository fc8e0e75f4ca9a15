// A recording shell, a hand-driven tick timer and a scripted single-instance
// claim for tests of the spine.
#pragma once
#include <cstdint>
#include <functional>

#include "app/tick_timer.h"

extern int g_fake_menu_load_result;   // what shell_menu_load returns (default 0)
extern uint32_t g_fake_timer_id;      // what tick_timer_start returns (default 1; 0 = failure)
// Runs inside shell_message_loop (after "loop"); posts made there end the loop.
extern std::function<void()> g_fake_loop_body;
// Runs inside shell_run_about, while the box is "open".
extern std::function<void()> g_fake_about_body;
extern TickCallback g_fake_tick_callback;  // the callback given to tick_timer_start
extern const char* g_fake_error_text;      // last shell_error_box text
extern const char* g_fake_error_detail;
extern int32_t g_fake_instance_result;     // what instance_claim returns (default: the first copy)
extern const char* g_fake_running_text;    // last instance_tell_running text

void fake_shell_reset();
uint32_t fake_menu_state(uint32_t command);
// Runs one tick through the registered callback, as the timer thread would.
void fake_tick();
