// What the Windows entry point hands the Win32 shell: the program's module.
// Only Windows files include this header.
#pragma once
#include <windows.h>

extern HINSTANCE g_instance;  // the program's module, set by WinMain
