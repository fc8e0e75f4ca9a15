// The program's spine: start-up in a fixed order, the message loop, and
// shutdown in the reverse order, over the platform seams; the menu commands;
// and the tick that drives the meter.
#pragma once
#include <cstdint>

constexpr uint32_t TICK_PERIOD_MS = 10;
constexpr const char* DRIVER_ERROR_TEXT = "Error loading kernel-mode I/O-driver!";
constexpr const char* APP_TITLE = "Sonabar";
constexpr const char* ALREADY_RUNNING_TEXT = "Sonabar is already running.";

// What app_run returns: 0 after an orderly end, APP_START_FAILED when start-up
// could not complete (the Windows entry returns 0 in every case, as designed).
constexpr int APP_START_FAILED = 1;

// Start-up, loop and shutdown; `arguments` is the command line after the
// program name. Returns the exit code.
int app_run(const char* arguments);

// A menu command (the whole command identifier), on the UI thread.
void app_command(uint32_t command);

// The periodic timer's callback: ignores its arguments and runs one meter tick.
void tick_timer_callback(uint32_t timer_id, uint32_t message, uintptr_t user, uintptr_t reserved1,
                         uintptr_t reserved2);
