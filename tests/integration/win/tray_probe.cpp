// A message-hook library for the end-to-end test. Wine, like Windows, keeps a
// menu's items in the process that owns it, so the test client cannot read the
// program's popup menu from outside. The client hooks the program's UI thread
// with this library; when the probe message reaches the open popup window, the
// hook (now running inside the program) reads the popup's items, their command
// identifiers, texts and check marks, and writes them to the report file.
#include <windows.h>

#include <cstdio>

#include "probe.h"

namespace {

constexpr UINT MN_GETHMENU_MESSAGE = 0x01E1;

void probe_write_menu(HWND popup) {
    char path[MAX_PATH];
    probe_report_path(path, sizeof path);
    FILE* report = std::fopen(path, "w");
    if (report == nullptr) return;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU_MESSAGE, 0, 0));
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[64] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        std::fprintf(report, "%u %d %s\n", GetMenuItemID(menu, i), (state & MF_CHECKED) ? 1 : 0, text);
    }
    std::fclose(report);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK probe_hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION) {
        const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
        if (call->message == probe_message()) probe_write_menu(call->hwnd);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
