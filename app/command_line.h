// The Linux edition's command line, in the usual Linux form: every option is
// one whole argument, written with one dash as the program always took it
// ("-peak") or with two as GNU programs do ("--peak"). The options: -peak and
// -16bit (the display options), -device=NAME (an ALSA capture device),
// -port=PATH (the parallel-port device node), -preview[=edge|transparent]
// (the LEDs drawn in the terminal), -listen=input|playing (what to record),
// -gain=N|auto (the sensitivity in dB, or automatic), --help (or -h) and
// --version. Anything else is refused with a message naming the argument; a
// value given as the next argument ("--listen playing") with the spelling
// that takes it ("--listen=playing"). The last of a repeated option wins.
#pragma once
#include <cstdint>
#include <string>

struct CommandLine {
    bool peak;              // -peak
    bool sixteen;           // -16bit
    std::string arguments;  // "-peak" and/or "-16bit", for the spine's display options
    const char* device;     // -device= value, or null for the desktop's sound server
    const char* port;       // -port= value, or null for the default node
    bool preview;           // -preview: draw the LEDs in the terminal
    bool preview_edge;      // -preview=edge: the 16 LEDs behind edge-triggered latches
    int32_t listen;         // LISTEN_INPUT or LISTEN_PLAYING
    bool listen_given;      // -listen= was given: it wins over the settings file
    bool gain_auto;         // -gain=auto
    double gain_db;         // -gain=N (0 unless given)
    bool gain_given;        // -gain= was given: it wins over the settings file
    bool help;              // --help or -h
    bool version;           // --version
    std::string error;      // why the command line is unusable (parse result 1)
};

// Parses argv[1..argc-1] into `line`; 0 when usable, 1 with `line->error`
// set. The returned pointers point into argv.
int command_line_parse(int argc, const char* const* argv, CommandLine* line);

// Recording what is playing needs a PipeWire server: 1 with `line->error`
// set when -listen=playing was asked for and `server_answers` is false, else 0.
int command_line_check_server(CommandLine* line, bool server_answers);

// The text printed by "--help".
const char* command_line_usage();
