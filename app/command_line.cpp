// Parsing of the Linux edition's command line: the Linux extras are taken out
// whole, everything else is joined with spaces into the arguments part in
// which the display options are found as substrings.
#include "app/command_line.h"

#include <cstring>

namespace {

constexpr const char* DEVICE_PREFIX = "-device=";
constexpr const char* PORT_PREFIX = "-port=";
constexpr const char* PREVIEW = "-preview";
constexpr const char* PREVIEW_PREFIX = "-preview=";

// The value after `prefix` when `argument` starts with it, else null.
const char* command_line_value(const char* argument, const char* prefix) {
    size_t length = std::strlen(prefix);
    return std::strncmp(argument, prefix, length) == 0 ? argument + length : nullptr;
}

}  // namespace

int command_line_parse(int argc, const char* const* argv, CommandLine* line) {
    *line = CommandLine{};
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (const char* device = command_line_value(argument, DEVICE_PREFIX)) {
            if (*device == '\0') {
                line->error = "-device= needs the name of an ALSA capture device, e.g. -device=default";
                return 1;
            }
            line->device = device;
        } else if (const char* port = command_line_value(argument, PORT_PREFIX)) {
            if (*port == '\0') {
                line->error = "-port= needs the path of a parallel-port device, e.g. -port=/dev/parport0";
                return 1;
            }
            line->port = port;
        } else if (std::strcmp(argument, PREVIEW) == 0) {
            line->preview = true;
            line->preview_edge = false;
        } else if (const char* latch = command_line_value(argument, PREVIEW_PREFIX)) {
            if (std::strcmp(latch, "edge") != 0 && std::strcmp(latch, "transparent") != 0) {
                line->error = std::string("-preview= takes edge or transparent (the 16 LEDs' latches), not '") +
                              latch + "'";
                return 1;
            }
            line->preview = true;
            line->preview_edge = std::strcmp(latch, "edge") == 0;
        } else if (std::strcmp(argument, "--help") == 0) {
            line->help = true;
        } else if (std::strcmp(argument, "--version") == 0) {
            line->version = true;
        } else {
            if (!line->arguments.empty()) line->arguments += ' ';
            line->arguments += argument;
        }
    }
    return 0;
}

const char* command_line_usage() {
    return "Usage: sonabar [OPTION]...\n"
           "Shows the sound input's level on LEDs wired to the parallel port.\n"
           "\n"
           "  -peak          show the peak-hold dot\n"
           "  -16bit         drive 16 LEDs through two latches instead of 8\n"
           "  -device=NAME   record from the ALSA capture device NAME (default: default)\n"
           "  -port=PATH     use the parallel-port device PATH (default: /dev/parport0)\n"
           "  -preview       also draw the LEDs in the terminal, as a board with transparent\n"
           "                 latches shows them; runs on without a usable port\n"
           "  -preview=edge  the same, for a board with edge-triggered latches\n"
           "  --help         show this help and exit\n"
           "  --version      show the version and exit\n";
}
