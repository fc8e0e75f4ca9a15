// The Windows program's entry: keeps the module instance for the shell and
// hands the arguments after the program name to the spine. The exit code is
// 0 in every case, as designed: a tray program's exit code is seen by nobody.
#include <windows.h>

#include "app/app.h"
#include "app/shell_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    g_instance = instance;
    app_run(arguments);
    return 0;
}
