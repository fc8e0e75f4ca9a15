// The Linux edition's entry: reads the command line, refuses a bad one with
// exit code 2 before anything is touched, reads the settings file, hands the
// choices on (the capture device, what to listen to, the sensitivity, the
// port node, the terminal preview; an option given on the command line wins
// over its key in the file, for this run only), has the tray's changes kept
// in the file and "Start at login" in the autostart entry, and runs the
// program's spine, whose result is the exit code: 0 after an orderly end, 1
// when start-up failed.
#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/autostart.h"
#include "app/choices.h"
#include "app/command_line.h"
#include "app/settings_file.h"
#include "audio/capture.h"
#include "audio/capture_linux.h"
#include "port/port_linux.h"
#include "preview/preview_linux.h"

#ifndef SONABAR_VERSION
#define SONABAR_VERSION "unknown"
#endif

namespace {

constexpr int EXIT_BAD_COMMAND_LINE = 2;

constexpr ChoiceKeeper KEEPER = {settings_file_keep, autostart_on, autostart_switch};

int main_refuse(const std::string& reason) {
    std::fprintf(stderr, "sonabar: %s\nTry 'sonabar --help' for more information.\n", reason.c_str());
    return EXIT_BAD_COMMAND_LINE;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (command_line_parse(argc, argv, &line) != 0) return main_refuse(line.error);
    if (line.help) {
        std::fputs(command_line_usage(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("sonabar %s\n", SONABAR_VERSION);
        return 0;
    }
    // Only -listen=playing asks whether a sound server answers.
    if (line.listen == LISTEN_PLAYING && command_line_check_server(&line, capture_server_answers()) != 0) {
        return main_refuse(line.error);
    }
    if (line.device != nullptr) capture_use_device(line.device);
    // The file's listen=playing is never a start-up failure: where it cannot
    // apply, the capture falls back to the sound input and says so.
    Settings start;
    settings_file_read(&start);
    if (line.listen_given) start.listen = line.listen;
    if (line.gain_given) {
        start.gain_auto = line.gain_auto;
        start.gain_db = line.gain_db;
    }
    std::string display = line.arguments + (start.peak ? " -peak" : "") + (start.sixteen ? " -16bit" : "");
    autostart_use_options(line.port, line.device);
    choices_keep_with(&KEEPER);
    if (choices_start(start.listen, start.gain_auto, start.gain_db) != 0) {
        return main_refuse("-listen=playing: this system's sound input cannot record what is playing");
    }
    if (line.port != nullptr) port_set_device_path(line.port);
    if (line.preview) preview_start(line.preview_edge ? BOARD_LATCH_EDGE : BOARD_LATCH_TRANSPARENT);
    int code = app_run(display.c_str());
    preview_stop();
    return code;
}
