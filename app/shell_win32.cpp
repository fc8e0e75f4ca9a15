// The Win32 shell: the hidden window that receives the tray icon's
// notifications and the menu's commands, the tray icon record, the tray menu
// with its check marks (round ones for the sensitivity's radio items), the
// About box, the start-up failure message and the message loop. Every call's
// result is ignored unless the spine asks for it.
// When the taskbar comes (back), after an Explorer restart or a start before
// the shell was ready, it broadcasts "TaskbarCreated": the icon is added again,
// which also repairs an add that failed at start-up.
#include "app/shell_win32.h"

#include <shellapi.h>

#include <cstdio>

#include "app/app.h"
#include "app/choices.h"
#include "app/options.h"
#include "app/resources/resource.h"
#include "app/shell.h"

static_assert(IDM_EXIT == MENU_EXIT && IDM_PEAK == MENU_PEAK && IDM_SIXTEEN == MENU_SIXTEEN &&
                  IDM_ABOUT == MENU_ABOUT,
              "resource commands must match the spine's");
static_assert(IDM_GAIN_NORMAL == MENU_GAIN_NORMAL && IDM_GAIN_6_DB == MENU_GAIN_6_DB &&
                  IDM_GAIN_12_DB == MENU_GAIN_12_DB && IDM_GAIN_18_DB == MENU_GAIN_18_DB &&
                  IDM_GAIN_AUTO == MENU_GAIN_AUTO,
              "the sensitivity's commands must match the choices'");
static_assert(MENU_CHECKED == MF_CHECKED && MENU_UNCHECKED == MF_UNCHECKED, "check states");

HINSTANCE g_instance;

namespace {

HWND g_hwnd;    // the hidden window: tray notifications and menu commands
HMENU g_hmenu;  // menu resource 101; its first submenu is the tray menu
HMENU g_sensitivity;  // the tray menu's "Sensitivity" submenu: radio items

constexpr const char* WINDOW_CLASS = "sonabar";
constexpr UINT WINDOW_CLASS_STYLE = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
static_assert(WINDOW_CLASS_STYLE == 0x23, "class style");

constexpr UINT TRAY_ICON_ID = 1026;
constexpr UINT TRAY_CALLBACK_MESSAGE = WM_USER + 1;  // 1025
constexpr UINT TRAY_FLAGS = NIF_MESSAGE | NIF_ICON | NIF_TIP;
static_assert(TRAY_FLAGS == 7, "tray flags: message, icon and tip");

// The notify-icon record in its first form, which every shell understands.
NOTIFYICONDATAA g_tray;
// Set from shell_tray_add to shell_tray_remove: the icon belongs in the tray.
bool g_tray_wanted;
// The taskbar's broadcast when it is created; 0 if it could not be registered.
UINT g_taskbar_created;
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAA_V1_SIZE == 88,
              "first form of the notify-icon record: 88 bytes on 32-bit Windows");

HICON shell_small_icon() {
    return static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_SONABAR), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

// Right-click on the tray icon: the tray menu at the cursor. The window must be
// in the foreground for the menu to close when the user clicks elsewhere, and
// the null message afterwards lets the shell's click finish cleanly.
void shell_tray_menu() {
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    SetForegroundWindow(g_hwnd);
    TrackPopupMenu(GetSubMenu(g_hmenu, 0), 0, cursor.x, cursor.y, 0, g_hwnd, nullptr);
    PostMessageA(g_hwnd, WM_NULL, 0, 0);
}

// The submenu of the tray menu that holds `command`, or null.
HMENU shell_submenu_holding(uint32_t command) {
    HMENU tray = GetSubMenu(g_hmenu, 0);
    for (int i = 0, count = GetMenuItemCount(tray); i < count; ++i) {
        HMENU submenu = GetSubMenu(tray, i);
        if (submenu != nullptr && GetMenuState(submenu, command, MF_BYCOMMAND) != static_cast<UINT>(-1))
            return submenu;
    }
    return nullptr;
}

// The position of `command` among the sensitivity's items, or -1.
int shell_sensitivity_position(uint32_t command) {
    for (int i = 0, count = GetMenuItemCount(g_sensitivity); i < count; ++i) {
        if (GetMenuItemID(g_sensitivity, i) == command) return i;
    }
    return -1;
}

// Windows Vista and later keep messages of a program run as administrator
// from the (not elevated) taskbar unless the program lets them through. The
// call is looked up, so that older Windows, which lack it, still load the
// program.
void shell_accept_taskbar_created() {
    typedef BOOL(WINAPI * MessageFilterCall)(UINT message, DWORD flag);
    constexpr DWORD MESSAGE_FILTER_ADD = 1;
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (user32 == nullptr || g_taskbar_created == 0) return;
    // Through void*: the exported address is the function itself.
    MessageFilterCall allow = reinterpret_cast<MessageFilterCall>(
        reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    if (allow != nullptr) allow(g_taskbar_created, MESSAGE_FILTER_ADD);
}

// The hidden window's procedure: destruction, menu commands, the tray's
// right-click, and the icon added again when the taskbar starts anew.
LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == g_taskbar_created && g_taskbar_created != 0 && g_tray_wanted)
        Shell_NotifyIconA(NIM_ADD, &g_tray);
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            break;
        case WM_COMMAND:
            // The whole wparam: accelerator and control notifications are not menu commands.
            app_command(static_cast<uint32_t>(wparam));
            break;
        case TRAY_CALLBACK_MESSAGE:
            if (lparam == WM_RBUTTONUP) shell_tray_menu();
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// The About box's procedure: only OK (or Enter) closes it.
INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            // Only OK (or Enter) closes the box; the close box and Escape are consumed.
            if (LOWORD(wparam) == IDOK) EndDialog(dialog, IDOK);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void shell_create_window() {
    WNDCLASSEXA window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.style = WINDOW_CLASS_STYLE;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = g_instance;
    window_class.hIcon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_SONABAR));
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszClassName = WINDOW_CLASS;
    window_class.hIconSm = shell_small_icon();
    RegisterClassExA(&window_class);
    g_taskbar_created = RegisterWindowMessageA("TaskbarCreated");
    shell_accept_taskbar_created();
    g_hwnd = CreateWindowExA(0, WINDOW_CLASS, APP_TITLE, 0, 0, 0, 0, 0, nullptr, nullptr,
                             g_instance, nullptr);
}

void shell_error_box(const char* text, const char* detail) {
    static char message[512];
    if (detail != nullptr) {
        std::snprintf(message, sizeof message, "%s\n%s", text, detail);
        text = message;
    }
    MessageBoxA(g_hwnd, text, APP_TITLE, MB_ICONERROR);
}

void shell_tray_add() {
    g_tray.cbSize = NOTIFYICONDATAA_V1_SIZE;
    g_tray.hWnd = g_hwnd;
    g_tray.uID = TRAY_ICON_ID;
    g_tray.uFlags = TRAY_FLAGS;
    g_tray.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    g_tray.hIcon = shell_small_icon();
    lstrcpynA(g_tray.szTip, APP_TITLE, 64);
    g_tray_wanted = true;
    Shell_NotifyIconA(NIM_ADD, &g_tray);
}

void shell_tray_remove() {
    g_tray_wanted = false;
    Shell_NotifyIconA(NIM_DELETE, &g_tray);
}

// The menu of the resource, with an item of its own for a -gain=N that no
// preset has, placed where the choices put it among the presets.
int shell_menu_load() {
    g_hmenu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    if (g_hmenu == nullptr) return 1;
    g_sensitivity = shell_submenu_holding(MENU_GAIN_NORMAL);
    ChoiceItem items[CHOICE_ITEMS_MAX];
    for (int i = 0, count = choices_gain_items(items); i < count; ++i) {
        if (items[i].command == MENU_GAIN_OWN)
            InsertMenuA(g_sensitivity, i, MF_BYPOSITION | MF_STRING, MENU_GAIN_OWN, items[i].label);
    }
    return 0;
}

void shell_menu_destroy() {
    DestroyMenu(g_hmenu);
    g_hmenu = nullptr;
    g_sensitivity = nullptr;
}

uint32_t shell_menu_state(uint32_t command) {
    // Only the check mark: a highlighted item is still a checked one.
    UINT state = GetMenuState(g_hmenu, command, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0 ? MENU_CHECKED
                                                                        : MENU_UNCHECKED;
}

void shell_menu_set_state(uint32_t command, uint32_t state) {
    // A sensitivity item checked: the round mark, taken from the others.
    int position = state == MENU_CHECKED ? shell_sensitivity_position(command) : -1;
    if (position >= 0) {
        CheckMenuRadioItem(g_sensitivity, 0, GetMenuItemCount(g_sensitivity) - 1, position, MF_BYPOSITION);
        return;
    }
    CheckMenuItem(g_hmenu, command, MF_BYCOMMAND | state);
}

void shell_run_about() {
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), g_hwnd, about_dialog_proc, 0);
}

void shell_post_quit(int code) { PostQuitMessage(code); }

int shell_message_loop() {
    MSG message = {};
    for (;;) {
        BOOL fetched = GetMessageA(&message, nullptr, 0, 0);
        if (fetched <= 0 || message.message == WM_QUIT) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}
