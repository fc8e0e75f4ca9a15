// The Windows program's entry: keeps the module instance for the shell, takes
// the sensitivity from the command line (a bad -gain= is shown in a box and
// ends the program with exit code 2 before anything starts) and hands the
// arguments after the program name to the spine. Otherwise the exit code is
// 0 in every case, as designed: a tray program's exit code is seen by nobody.
#include <windows.h>

#include "app/app.h"
#include "app/gain_option.h"
#include "app/shell_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    g_instance = instance;
    if (options_start_gain(arguments) != 0) return OPTIONS_REFUSED;
    app_run(arguments);
    return 0;
}
