// Parsing of the Linux edition's command line: each argument is looked up
// whole in the table of options, in its one-dash or two-dash spelling, and
// its value checked; the first argument that is none of them ends the parse
// with a message that names it. The display options reach the spine as the
// words "-peak" and "-16bit", whatever spelling the user chose.
#include "app/command_line.h"

#include <cstring>

#include "app/gain_option.h"
#include "audio/capture.h"

namespace {

enum OptionName {
    OPT_PEAK,
    OPT_SIXTEEN,
    OPT_DEVICE,
    OPT_PORT,
    OPT_PREVIEW,
    OPT_LISTEN,
    OPT_GAIN,
    OPT_HELP,
    OPT_VERSION,
};

enum OptionValue {
    VALUE_NONE,      // a flag: "=..." is refused
    VALUE_REQUIRED,  // "-name=VALUE" only
    VALUE_OPTIONAL,  // "-name" or "-name=VALUE"
};

enum OptionDashes {
    DASHES_BOTH,    // "-name" and "--name"
    DASHES_DOUBLE,  // "--name" only
    DASHES_SINGLE,  // "-name" only
};

struct KnownOption {
    const char* name;
    OptionName option;
    OptionValue value;
    OptionDashes dashes;
};

constexpr KnownOption OPTIONS[] = {
    {"peak", OPT_PEAK, VALUE_NONE, DASHES_BOTH},
    {"16bit", OPT_SIXTEEN, VALUE_NONE, DASHES_BOTH},
    {"device", OPT_DEVICE, VALUE_REQUIRED, DASHES_BOTH},
    {"port", OPT_PORT, VALUE_REQUIRED, DASHES_BOTH},
    {"preview", OPT_PREVIEW, VALUE_OPTIONAL, DASHES_BOTH},
    {"listen", OPT_LISTEN, VALUE_REQUIRED, DASHES_BOTH},
    {"gain", OPT_GAIN, VALUE_REQUIRED, DASHES_BOTH},
    {"help", OPT_HELP, VALUE_NONE, DASHES_DOUBLE},
    {"h", OPT_HELP, VALUE_NONE, DASHES_SINGLE},
    {"version", OPT_VERSION, VALUE_NONE, DASHES_DOUBLE},
};

const KnownOption* command_line_find(const char* name, size_t length, bool double_dash) {
    for (const KnownOption& known : OPTIONS) {
        if (std::strlen(known.name) != length || std::strncmp(known.name, name, length) != 0) continue;
        if (known.dashes == (double_dash ? DASHES_SINGLE : DASHES_DOUBLE)) return nullptr;
        return &known;
    }
    return nullptr;
}

// Takes one option with its value (null when the argument has no "=");
// 0, or 1 with the reason in `line->error`. `spelled` is the option as typed.
int command_line_take(const KnownOption& known, const std::string& spelled, const char* value, CommandLine* line) {
    switch (known.option) {
        case OPT_PEAK:
            line->peak = true;
            return 0;
        case OPT_SIXTEEN:
            line->sixteen = true;
            return 0;
        case OPT_DEVICE:
            if (*value == '\0') {
                line->error = spelled + "= needs the name of an ALSA capture device, e.g. " + spelled + "=default";
                return 1;
            }
            line->device = value;
            return 0;
        case OPT_PORT:
            if (*value == '\0') {
                line->error = spelled + "= needs the path of a parallel-port device, e.g. " + spelled +
                              "=/dev/parport0";
                return 1;
            }
            line->port = value;
            return 0;
        case OPT_PREVIEW:
            if (value != nullptr && std::strcmp(value, "edge") != 0 && std::strcmp(value, "transparent") != 0) {
                line->error = spelled + "= takes edge or transparent (the 16 LEDs' latches), not '" + value + "'";
                return 1;
            }
            line->preview = true;
            line->preview_edge = value != nullptr && std::strcmp(value, "edge") == 0;
            return 0;
        case OPT_LISTEN:
            if (std::strcmp(value, "input") == 0) {
                line->listen = LISTEN_INPUT;
            } else if (std::strcmp(value, "playing") == 0) {
                line->listen = LISTEN_PLAYING;
            } else {
                line->error = spelled + "= takes input (the sound input) or playing (what the desktop plays), not '" +
                              value + "'";
                return 1;
            }
            line->listen_given = true;
            return 0;
        case OPT_GAIN: {
            if (!options_gain(value, std::strlen(value), &line->gain_auto, &line->gain_db)) {
                line->error = spelled + "= takes a number of dB from -20 to +40, or auto: '" + value + "'";
                return 1;
            }
            line->gain_given = true;
            return 0;
        }
        case OPT_HELP:
            line->help = true;
            return 0;
        case OPT_VERSION:
            line->version = true;
            return 0;
    }
    return 0;
}

// Whether `next`, the argument after an option written without "=", was
// meant as its value ("--listen playing"): always for an option that needs
// one, whatever follows; for an option whose value may be left out, only when
// it would take `next` as its value.
bool command_line_meant_as_value(const KnownOption& known, const std::string& spelled, const char* next) {
    if (known.value == VALUE_REQUIRED) return true;
    CommandLine scratch{};
    return known.value == VALUE_OPTIONAL && command_line_take(known, spelled, next, &scratch) == 0;
}

}  // namespace

int command_line_parse(int argc, const char* const* argv, CommandLine* line) {
    *line = CommandLine{};
    line->listen = LISTEN_INPUT;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-' || argument[1] == '\0') {
            line->error = std::string("unexpected argument '") + argument + "' (sonabar takes options only)";
            return 1;
        }
        bool double_dash = argument[1] == '-';
        const char* name = argument + (double_dash ? 2 : 1);
        const char* equals = std::strchr(name, '=');
        size_t length = equals != nullptr ? static_cast<size_t>(equals - name) : std::strlen(name);
        const KnownOption* known = command_line_find(name, length, double_dash);
        if (known == nullptr) {
            line->error = std::string("unknown option '") + argument + "'";
            return 1;
        }
        std::string spelled(argument, static_cast<size_t>(name - argument) + length);
        const char* value = equals != nullptr ? equals + 1 : nullptr;
        if (known->value == VALUE_NONE && value != nullptr) {
            line->error = spelled + " takes no value: '" + argument + "'";
            return 1;
        }
        if (value == nullptr && i + 1 < argc && command_line_meant_as_value(*known, spelled, argv[i + 1])) {
            line->error = "write " + spelled + "=" + argv[i + 1] + " (the value goes after =)";
            return 1;
        }
        if (known->value == VALUE_REQUIRED && value == nullptr) value = "";
        if (command_line_take(*known, spelled, value, line) != 0) return 1;
    }
    line->arguments = line->peak && line->sixteen ? "-peak -16bit"
                      : line->peak                ? "-peak"
                      : line->sixteen             ? "-16bit"
                                                  : "";
    if (line->listen == LISTEN_PLAYING && line->device != nullptr) {
        line->error = "-listen=playing cannot be used with -device=: an ALSA capture device has no "
                      "\"what is playing\" (leave out -device= to record what the desktop plays)";
        return 1;
    }
    return 0;
}

int command_line_check_server(CommandLine* line, bool server_answers) {
    if (line->listen != LISTEN_PLAYING || server_answers) return 0;
    line->error = "-listen=playing records what the desktop plays through its PipeWire server, and no "
                  "PipeWire server answered. Start it (systemctl --user start pipewire wireplumber), or "
                  "record the sound input with -listen=input or a -device=NAME";
    return 1;
}

const char* command_line_usage() {
    return "Usage: sonabar [OPTION]...\n"
           "Shows the level of the sound input, or of what the desktop plays, on LEDs wired\n"
           "to the parallel port. Each option may also be written with two dashes (--peak).\n"
           "\n"
           "  -peak              show the peak-hold dot\n"
           "  -16bit             drive 16 LEDs through two latches instead of 8\n"
           "  -listen=input      record the desktop's default sound input (the default)\n"
           "  -listen=playing    record what the desktop's default output plays (needs a\n"
           "                     PipeWire server; not with -device=)\n"
           "  -gain=N            sensitivity: N dB from -20 to +40, e.g. -gain=+12 (default 0)\n"
           "  -gain=auto         automatic sensitivity\n"
           "  -device=NAME       record from the ALSA capture device NAME instead\n"
           "  -port=PATH         use the parallel-port device PATH (default: /dev/parport0)\n"
           "  -preview           also draw the LEDs in the terminal, as a board with transparent\n"
           "                     latches shows them; runs on without a usable port\n"
           "  -preview=edge      the same, for a board with edge-triggered latches\n"
           "  -h, --help         show this help and exit\n"
           "  --version          show the version and exit\n"
           "\n"
           "The tray icon's menu switches the display options, what is recorded and the\n"
           "sensitivity while the program runs, and keeps each choice in the settings file\n"
           "$XDG_CONFIG_HOME/sonabar/sonabar.conf (~/.config/sonabar/sonabar.conf), keys\n"
           "16bit, peak, listen and gain, where the next run starts from; an option given\n"
           "here wins over its key for this run. The menu's \"Start at login\" writes the\n"
           "autostart entry $XDG_CONFIG_HOME/autostart/sonabar.desktop. SIGINT (Ctrl-C),\n"
           "SIGTERM and SIGHUP end the program as Exit does, with the LEDs dark.\n"
           "\n"
           "Exit status:\n"
           "  0  after Exit from the menu, SIGTERM, SIGINT or SIGHUP\n"
           "  1  start-up failed (the parallel port cannot be used, and no -preview)\n"
           "  2  bad command line\n";
}
