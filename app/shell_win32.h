// The Win32 shell's own globals and window procedures, shared by the entry
// point and the shell. Only Windows files include this header.
#pragma once
#include <windows.h>

extern HINSTANCE g_instance;  // the program's module, set by WinMain
extern HWND g_hwnd;           // the hidden window: tray notifications and menu commands
extern HMENU g_hmenu;         // menu resource 101; its first submenu is the tray menu

// The hidden window's procedure: destruction, menu commands, the tray's right-click.
LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The About box's procedure: only OK (or Enter) closes it.
INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
