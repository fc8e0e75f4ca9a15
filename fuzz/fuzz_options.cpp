// Fuzz target for the command-line options. The input serves twice.
//
// As the arguments part of the command line (cut at the first NUL, as a C
// string is): options_has must agree with a plain substring search written
// here, and a whole run of the program over the recording fakes must set
// exactly the options found: both bytes, both check marks, and frames of the
// matching size from the ticks of the run, between the port's start-up
// setting and the dark display.
//
// As an argv for the Linux edition's parser, split at every NUL (each
// argument an exactly sized heap copy): command_line_parse must agree with a
// model of its rules written here - every argument one whole option, in its
// one-dash or two-dash spelling ("--help" and "--version" with two only,
// "-h" with one only), the last of a repeated option winning, values checked
// (a non-empty -device= and -port=, -preview= edge or transparent, -listen=
// input or playing, -gain= auto or a plain signed decimal from -20 to +40),
// a value written after a space instead of "=" refused with the spelling
// that was meant, -listen=playing never with -device=, and anything else
// refused with a reason that names the argument or the option as typed. The spine gets
// exactly the display words "-peak" and "-16bit", so an option word inside
// a value never switches one on. No input may crash or read past the end of
// an argument.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/command_line.h"
#include "app/options.h"
#include "app/shell.h"
#include "audio/capture.h"
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

bool fuzz_starts_with(const char* text, const char* prefix) {
    for (size_t i = 0; prefix[i] != '\0'; ++i) {
        if (text[i] != prefix[i]) return false;
    }
    return true;
}

bool fuzz_equal(const char* a, const char* b) { return fuzz_starts_with(a, b) && fuzz_starts_with(b, a); }

// What the parser should make of an argv: the model of its rules.
struct ModelLine {
    int result;
    bool peak;
    bool sixteen;
    const char* device;
    const char* port;
    bool preview;
    bool preview_edge;
    int32_t listen;
    bool gain_auto;
    double gain_db;
    bool help;
    bool version;
    std::string refused;  // how the reason starts
};

// A plain signed decimal from -20 to +40: sign, digits, and a fraction of digits.
bool fuzz_gain_value(const char* text, double* db) {
    size_t i = text[0] == '+' || text[0] == '-' ? 1 : 0;
    size_t digits = 0, points = 0, fraction = 0;
    for (; text[i] != '\0'; ++i) {
        if (text[i] == '.' && digits > 0 && points == 0) {
            ++points;
        } else if (text[i] >= '0' && text[i] <= '9') {
            (points == 0 ? digits : fraction) += 1;
        } else {
            return false;
        }
    }
    if (digits == 0 || (points == 1 && fraction == 0)) return false;
    *db = std::strtod(text, nullptr);
    return *db >= -20.0 && *db <= 40.0;
}

ModelLine fuzz_model_parse(const std::vector<char*>& argv) {
    ModelLine model{0, false, false, nullptr, nullptr, false, false, LISTEN_INPUT, false, 0.0, false, false, ""};
    auto refuse = [&model](std::string reason) {
        model.result = 1;
        model.refused = std::move(reason);
        return model;
    };
    for (size_t i = 1; i < argv.size(); ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-' || argument[1] == '\0') return refuse("unexpected argument '" + std::string(argument));
        const bool two = argument[1] == '-';
        const std::string whole(argument);
        const size_t equals = whole.find('=');
        const std::string spelled = whole.substr(0, equals);
        const std::string key = spelled.substr(two ? 2 : 1);
        const bool has_value = equals != std::string::npos;
        const char* value = has_value ? argument + equals + 1 : "";
        const bool flag = key == "peak" || key == "16bit" || (key == "help" && two) || (key == "h" && !two) ||
                          (key == "version" && two);
        // A value written after a space: the next argument, whatever it is,
        // where the option needs one; where it may take one, a word it takes.
        const bool needs_value = key == "device" || key == "port" || key == "listen" || key == "gain";
        const bool preview_word =
            key == "preview" && i + 1 < argv.size() &&
            (fuzz_equal(argv[i + 1], "edge") || fuzz_equal(argv[i + 1], "transparent"));
        if (!has_value && i + 1 < argv.size() && (needs_value || preview_word)) {
            return refuse("write " + spelled + "=" + argv[i + 1] + " (the value goes after =)");
        }
        if (flag) {
            if (has_value) return refuse(spelled + " takes no value: '" + whole + "'");
            model.peak |= key == "peak";
            model.sixteen |= key == "16bit";
            model.help |= key == "help" || key == "h";
            model.version |= key == "version";
        } else if (key == "device" || key == "port") {
            if (*value == '\0') return refuse(spelled + "= needs the ");
            (key == "device" ? model.device : model.port) = value;
        } else if (key == "preview") {
            if (has_value && !fuzz_equal(value, "edge") && !fuzz_equal(value, "transparent")) {
                return refuse(spelled + "= takes edge or transparent");
            }
            model.preview = true;
            model.preview_edge = has_value && fuzz_equal(value, "edge");
        } else if (key == "listen") {
            if (!fuzz_equal(value, "input") && !fuzz_equal(value, "playing")) return refuse(spelled + "= takes input");
            model.listen = fuzz_equal(value, "playing") ? LISTEN_PLAYING : LISTEN_INPUT;
        } else if (key == "gain") {
            double db = 0.0;
            if (fuzz_equal(value, "auto")) {
                model.gain_auto = true;
            } else if (fuzz_gain_value(value, &db)) {
                model.gain_auto = false;
                model.gain_db = db;
            } else {
                return refuse(spelled + "= takes a number of dB from -20 to +40, or auto: '" + value + "'");
            }
        } else {
            return refuse("unknown option '" + whole + "'");
        }
    }
    if (model.listen == LISTEN_PLAYING && model.device != nullptr) {
        return refuse("-listen=playing cannot be used with -device=");
    }
    return model;
}

// The input split at every NUL into argv[1..], after the program's name; an
// empty input is no arguments, and NULs side by side make empty arguments.
void fuzz_check_command_line(const uint8_t* data, size_t size) {
    std::vector<char*> argv;
    char program[] = "sonabar";
    argv.push_back(program);
    for (size_t start = 0, i = 0; size > 0 && i <= size; ++i) {
        if (i < size && data[i] != 0) continue;
        char* argument = static_cast<char*>(std::malloc(i - start + 1));
        if (i > start) std::memcpy(argument, data + start, i - start);
        argument[i - start] = '\0';
        argv.push_back(argument);
        start = i + 1;
    }

    ModelLine model = fuzz_model_parse(argv);
    CommandLine line;
    int result = command_line_parse(static_cast<int>(argv.size()), argv.data(), &line);
    fuzz_require(result == model.result, "the parse result");
    if (result != 0) {
        fuzz_require(line.error.rfind(model.refused, 0) == 0, "the refusal names the argument or its option");
    } else {
        fuzz_require(line.error.empty(), "no reason without a refusal");
        const std::string words = model.peak && model.sixteen ? "-peak -16bit"
                                  : model.peak                ? "-peak"
                                  : model.sixteen             ? "-16bit"
                                                              : "";
        fuzz_require(line.arguments == words, "the display words for the spine");
        fuzz_require(line.device == model.device, "the device is the last -device= value, in place");
        fuzz_require(line.port == model.port, "the port is the last -port= value, in place");
        fuzz_require(line.help == model.help && line.version == model.version, "--help and --version");
        fuzz_require(line.preview == model.preview && line.preview_edge == model.preview_edge,
                     "-preview and its latches, the last one given");
        fuzz_require(line.listen == model.listen, "-listen=, the last one given");
        fuzz_require(line.gain_auto == model.gain_auto && (model.gain_auto || line.gain_db == model.gain_db),
                     "-gain=, the last one given");
        const char* part = line.arguments.c_str();
        fuzz_require(options_has(part, OPTION_PEAK) == model.peak, "-peak reaches the spine");
        fuzz_require(options_has(part, OPTION_SIXTEEN) == model.sixteen, "-16bit reaches the spine");
    }
    for (size_t i = 1; i < argv.size(); ++i) std::free(argv[i]);
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

    fuzz_check_command_line(data, size);
    return 0;
}
