// Fuzz target for the command-line options: any bytes as the arguments part
// of the command line (cut at the first NUL, as a C string is). options_has
// must agree with a plain substring search written here, and a whole run of
// the program over the recording fakes must set exactly the options found:
// both bytes, both check marks, and frames of the matching size from the
// ticks of the run, between the port's start-up setting and the dark display.
// No input may crash or read past the end of the string.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/options.h"
#include "app/shell.h"
#include "fuzz/fuzz_support.h"
#include "meter/meter.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_port.h"
#include "tests/fakes/fake_shell.h"
#include "tests/fakes/fake_wave_in.h"

namespace {

constexpr int TICKS = 3;  // ticks run inside the message loop

// True when `word` occurs in `text`: every start position tried in turn.
bool fuzz_contains(const char* text, const char* word) {
    size_t text_length = std::strlen(text);
    size_t word_length = std::strlen(word);
    for (size_t start = 0; start + word_length <= text_length; ++start) {
        size_t i = 0;
        while (i < word_length && text[start + i] == word[i]) ++i;
        if (i == word_length) return true;
    }
    return false;
}

void fuzz_reset_program() {
    fake_log_clear();
    fake_port_reset();
    fake_shell_reset();
    fake_wave_reset();
    g_fake_wave.open_result = 2;  // no input device: no capture worker to start per input
    g_fake_wave.log_calls = false;
    meter_reset();
    g_peak_mode.store(0, std::memory_order_relaxed);
    g_sixteen_mode.store(0, std::memory_order_relaxed);
    g_fake_loop_body = [] {
        for (int i = 0; i < TICKS; ++i) fake_tick();
        app_command(MENU_EXIT);
    };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exactly sized, NUL-terminated copy: one byte more than the input.
    char* arguments = static_cast<char*>(std::malloc(size + 1));
    if (size > 0) std::memcpy(arguments, data, size);
    arguments[size] = '\0';
    const bool peak = fuzz_contains(arguments, "-peak");
    const bool sixteen = fuzz_contains(arguments, "-16bit");

    fuzz_require(options_has(arguments, OPTION_PEAK) == peak, "options_has finds \"-peak\"");
    fuzz_require(options_has(arguments, OPTION_SIXTEEN) == sixteen, "options_has finds \"-16bit\"");
    fuzz_require(!options_has(nullptr, OPTION_PEAK), "no arguments hold no option");

    fuzz_reset_program();
    fuzz_require(app_run(arguments) == 0, "exit code 0");
    fuzz_require(g_peak_mode.load(std::memory_order_relaxed) == (peak ? 1 : 0), "the peak byte");
    fuzz_require(g_sixteen_mode.load(std::memory_order_relaxed) == (sixteen ? 1 : 0), "the sixteen byte");
    fuzz_require(fake_menu_state(MENU_PEAK) == (peak ? MENU_CHECKED : MENU_UNCHECKED), "the Peak check mark");
    fuzz_require(fake_menu_state(MENU_SIXTEEN) == (sixteen ? MENU_CHECKED : MENU_UNCHECKED),
                 "the 16-bit check mark");

    // Start-up setting, the frames of the ticks, then the dark display.
    std::vector<std::pair<uint16_t, uint8_t>> writes = fake_log_port_writes();
    const size_t frame = sixteen ? 6 : 2;
    fuzz_require(writes.size() == 1 + TICKS * frame + 2, "frames of the size the options chose");
    fuzz_require(writes.front() == std::make_pair<uint16_t, uint8_t>(0x77A, 0), "the start-up setting first");
    fuzz_require(writes[writes.size() - 2] == std::make_pair<uint16_t, uint8_t>(0x37A, 0) &&
                     writes.back() == std::make_pair<uint16_t, uint8_t>(0x378, 0),
                 "the dark display last");

    std::free(arguments);
    return 0;
}
