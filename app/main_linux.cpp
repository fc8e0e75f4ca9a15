// The Linux edition's entry: reads the command line (the display options, the
// ALSA capture device, the parallel-port device node, the terminal preview,
// --help, --version) and runs the program's spine.
#include <cstdio>

#include "app/app.h"
#include "app/command_line.h"
#include "audio/capture_linux.h"
#include "port/port_linux.h"
#include "preview/preview_linux.h"

#ifndef SONABAR_VERSION
#define SONABAR_VERSION "unknown"
#endif

int main(int argc, char** argv) {
    CommandLine line;
    if (command_line_parse(argc, argv, &line) != 0) {
        std::fprintf(stderr, "sonabar: %s\nTry 'sonabar --help' for more information.\n", line.error.c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(command_line_usage(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("sonabar %s\n", SONABAR_VERSION);
        return 0;
    }
    if (line.device != nullptr) capture_use_device(line.device);
    if (line.port != nullptr) port_set_device_path(line.port);
    if (line.preview) preview_start(line.preview_edge ? BOARD_LATCH_EDGE : BOARD_LATCH_TRANSPARENT);
    int code = app_run(line.arguments.c_str());
    preview_stop();
    return code;
}
