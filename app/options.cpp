// Command-line options: "-peak" and "-16bit", found as case-sensitive
// substrings anywhere in the arguments ("-peakish" counts, "-PEAK" does not).
#include "app/options.h"

#include <cstring>

#include "app/shell.h"

std::atomic<uint8_t> g_peak_mode{0};
std::atomic<uint8_t> g_sixteen_mode{0};

bool options_has(const char* arguments, const char* option) {
    return arguments != nullptr && std::strstr(arguments, option) != nullptr;
}

void options_apply(const char* arguments) {
    if (options_has(arguments, OPTION_PEAK)) {
        shell_menu_set_state(MENU_PEAK, MENU_CHECKED);
        g_peak_mode.store(1, std::memory_order_relaxed);
    }
    if (options_has(arguments, OPTION_SIXTEEN)) {
        shell_menu_set_state(MENU_SIXTEEN, MENU_CHECKED);
        g_sixteen_mode.store(1, std::memory_order_relaxed);
    }
}
