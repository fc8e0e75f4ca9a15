// The Linux edition's command line. The two display options keep their
// substring matching over the "arguments part" (every argument joined with
// spaces); the Linux extras are whole arguments of their own: "-device=NAME"
// (the ALSA PCM to record from), "-port=PATH" (the parallel-port device node),
// "-preview" or "-preview=edge" (the LEDs drawn in the terminal), "--help"
// and "--version". Extras are left out of the arguments part, so that
// a device name or path that happens to contain "-peak" switches nothing on.
#pragma once
#include <string>

struct CommandLine {
    std::string arguments;      // the arguments part for "-peak" and "-16bit"
    const char* device;         // "-device=" value, or null for the default PCM
    const char* port;           // "-port=" value, or null for the default node
    bool preview;               // "-preview": draw the LEDs in the terminal
    bool preview_edge;          // "-preview=edge": the 16 LEDs behind edge-triggered latches
    bool help;                  // "--help"
    bool version;               // "--version"
    std::string error;          // why the command line is unusable (parse result 1)
};

// Parses argv[1..argc-1] into `line`; 0 when usable, 1 with `line->error` set.
// The returned pointers point into argv.
int command_line_parse(int argc, const char* const* argv, CommandLine* line);

// The text printed by "--help".
const char* command_line_usage();
