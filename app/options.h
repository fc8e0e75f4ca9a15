// The two display options and how the command line sets them. The option bytes
// are written by the UI thread (start-up, menu) and read by every tick on the
// timer thread without a lock, so they are relaxed atomics: one byte each,
// lock-free, and race-free in C++ terms.
#pragma once
#include <atomic>
#include <cstdint>

static_assert(std::atomic<uint8_t>::is_always_lock_free, "option bytes must be lock-free");

extern std::atomic<uint8_t> g_peak_mode;     // 1: peak-hold dot on
extern std::atomic<uint8_t> g_sixteen_mode;  // 1: 16 LEDs instead of 8

// Menu command identifiers of the tray menu.
constexpr uint32_t MENU_EXIT = 40003;
constexpr uint32_t MENU_PEAK = 40006;
constexpr uint32_t MENU_SIXTEEN = 40007;
constexpr uint32_t MENU_ABOUT = 40008;

// The option words, matched as case-sensitive substrings anywhere in the
// arguments part of the command line.
constexpr const char* OPTION_PEAK = "-peak";
constexpr const char* OPTION_SIXTEEN = "-16bit";

// True when `option` occurs anywhere in `arguments` (null counts as empty).
bool options_has(const char* arguments, const char* option);

// Applies "-peak" and then "-16bit": each one found checks its menu item and
// sets its byte.
void options_apply(const char* arguments);
