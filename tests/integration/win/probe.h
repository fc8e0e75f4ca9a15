// What the end-to-end client and its probe library share: the probe message
// and the file in which the probe reports what the program's menu shows.
#pragma once
#include <windows.h>

#include <cstdio>

// Sent to the program's open popup menu window; the probe (inside the
// program, through a message hook) answers by writing the report file.
inline UINT probe_message() { return RegisterWindowMessageA("sonabar-e2e-probe"); }

// The report file: one line per menu item, "command mark text" (tray_probe.cpp).
inline void probe_report_path(char* path, DWORD size) {
    char directory[MAX_PATH] = "";
    GetTempPathA(sizeof directory, directory);
    std::snprintf(path, size, "%ssonabar-e2e-probe.txt", directory);
}
