// A message-hook library for the end-to-end test. Wine, like Windows, keeps a
// menu's items in the process that owns it, so the test client cannot read the
// program's popup menu from outside. The client hooks the program's UI thread
// with this library; when the probe message reaches the open popup window, the
// hook (now running inside the program) reads the popup's items, their command
// identifiers, texts and check marks, those of its submenus too, and writes
// them to the report file.
#include <windows.h>

#include <cstdio>

#include "probe.h"

namespace {

constexpr UINT MN_GETHMENU_MESSAGE = 0x01E1;

// One line per item, "command mark text", the mark 0 (none), 1 (a check) or
// 2 (a radio mark); a submenu's own line has command 0, and its items follow,
// each led by the submenu's text and ">".
void probe_write_items(FILE* report, HMENU menu, const char* prefix) {
    for (int i = 0, count = GetMenuItemCount(menu); i < count; ++i) {
        char text[64] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
        GetMenuItemInfoA(menu, i, TRUE, &item);
        int mark = (item.fState & MFS_CHECKED) == 0 ? 0 : (item.fType & MFT_RADIOCHECK) != 0 ? 2 : 1;
        std::fprintf(report, "%s%u %d %s\n", prefix, item.hSubMenu != nullptr ? 0u : item.wID, mark, text);
        if (item.hSubMenu == nullptr) continue;
        char inner[160];
        std::snprintf(inner, sizeof inner, "%s%s>", prefix, text);
        probe_write_items(report, item.hSubMenu, inner);
    }
}

void probe_write_menu(HWND popup) {
    char path[MAX_PATH];
    probe_report_path(path, sizeof path);
    FILE* report = std::fopen(path, "w");
    if (report == nullptr) return;
    probe_write_items(report, reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU_MESSAGE, 0, 0)), "");
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
