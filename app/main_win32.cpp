// The Windows program's entry: keeps the module instance for the shell and
// hands the arguments after the program name to the spine.
#include <windows.h>

#include "app/app.h"
#include "app/shell_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    g_instance = instance;
    return app_run(arguments);
}
